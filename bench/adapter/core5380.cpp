#include "core5380.h"

#include <stdexcept>
#include <string>

namespace bench {

Core5380::Core5380(ScsiBus& bus) : bus_(bus), party_(bus.attach("initiator (ID 7)"))
{
    // The chip stops driving data while a target asserts I/O.
    bus_.watch(line::IO, false, [this] { drive_bus(); });
    // Another party selecting while we arbitrate means we lost.
    bus_.watch(line::SEL, false, [this] {
        if (arbitrating() && (bus_.signals() & line::SEL) && !(icr_ & icr::SEL)) lost_ = true;
    });
}

std::uint8_t Core5380::read(unsigned offset)
{
    switch (offset) {
    case 0: return bus_.data();
    case 1: return icr_ | (arbitrating() ? icr::AIP : 0) | (lost_ ? icr::LA : 0);
    case 2: return mr_;
    case 3: return tcr_;
    case 4: return static_cast<std::uint8_t>(bus_.signals() & 0xFF);
    case 7: irq_ = false; return 0x00;  // reset parity/interrupt
    }
    throw std::logic_error("5380 core has no register at offset " + std::to_string(offset));
}

void Core5380::write(unsigned offset, std::uint8_t value)
{
    switch (offset) {
    case 0: odr_ = value; drive_bus(); return;
    case 1: icr_ = value & icr::WRITABLE; drive_bus(); return;
    case 2: write_mode(value); return;
    case 3: tcr_ = value & 0x0F; return;
    case 4: ser_ = value; return;
    case 7: if (start_receive_) start_receive_(); return;
    }
    throw std::logic_error("5380 core has no register at offset " + std::to_string(offset));
}

void Core5380::reset()
{
    odr_ = icr_ = mr_ = tcr_ = ser_ = 0;
    irq_ = false;
    dma_ack_ = false;
    arbitration_ = Arbitration::Idle;
    ++arbitration_epoch_;
    lost_ = false;
    drive_bus();
}

void Core5380::write_mode(std::uint8_t value)
{
    bool was = mr_ & mr::ARBITRATE;
    mr_ = value;
    bool now = mr_ & mr::ARBITRATE;
    if (now && !was) {
        arbitration_ = Arbitration::AwaitingBusFree;
        await_bus_free();
    } else if (!now && was) {
        arbitration_ = Arbitration::Idle;
        ++arbitration_epoch_;
        lost_ = false;
        drive_bus();
    }
}

// The chip arbitrates once the bus has been free for a bus free delay: it then
// asserts BSY and its ID (the ODR byte) and shows arbitration in progress.
void Core5380::await_bus_free()
{
    std::uint64_t epoch = arbitration_epoch_;
    bus_.when([this] { return bus_free(); },
              [this, epoch] {
                  if (epoch != arbitration_epoch_) return;
                  bus_.scheduler().after(timing::kBusFree, [this, epoch] {
                      if (epoch != arbitration_epoch_) return;
                      if (!bus_free()) return await_bus_free();
                      arbitration_ = Arbitration::InProgress;
                      drive_bus();
                  });
              });
}

void Core5380::drive_bus()
{
    Signals lines = arbitrating() ? line::BSY : 0;
    if (icr_ & icr::RST) lines |= line::RST;
    if ((icr_ & icr::ACK) || dma_ack_) lines |= line::ACK;
    if (icr_ & icr::BSY) lines |= line::BSY;
    if (icr_ & icr::SEL) lines |= line::SEL;
    if (icr_ & icr::ATN) lines |= line::ATN;
    bus_.drive(party_, lines);
    bool data = arbitrating() || ((icr_ & icr::DATA_BUS) && !(bus_.signals() & line::IO));
    bus_.drive_data(party_, data, odr_);
}

}  // namespace bench
