// The 5380-class SCSI protocol core: eight byte registers that are a view of
// the bus. ICR drives the initiator's lines, CSBS and CSD read the wired-OR.
#pragma once

#include <cstdint>
#include <functional>

#include "../bus/scsi_bus.h"

namespace bench {

namespace icr {
constexpr std::uint8_t RST = 0x80, AIP = 0x40, LA = 0x20, ACK = 0x10, BSY = 0x08, SEL = 0x04, ATN = 0x02,
                       DATA_BUS = 0x01;
constexpr std::uint8_t WRITABLE = RST | ACK | BSY | SEL | ATN | DATA_BUS;
}  // namespace icr

namespace mr {
constexpr std::uint8_t ARBITRATE = 0x01, DMA_MODE = 0x02, MONITOR_BUSY = 0x04, ENABLE_EOP_INTERRUPT = 0x08;
}

class Core5380 {
public:
    static constexpr int kInitiatorId = 7;

    explicit Core5380(ScsiBus& bus);

    std::uint8_t read(unsigned offset);
    void write(unsigned offset, std::uint8_t value);

    // The board's reset line: every register to zero, nothing driven.
    void reset();

    // The core's interrupt flag, which the board shows as interrupt pending.
    bool interrupt() const { return irq_; }
    void raise_interrupt() { irq_ = true; }

    // The board's receive engine starts on a write to Start DMA Initiator Receive.
    void on_start_receive(std::function<void()> hook) { start_receive_ = std::move(hook); }
    // The board answers data-in REQs through the core's ACK line while it receives.
    void dma_ack(bool asserted)
    {
        dma_ack_ = asserted;
        drive_bus();
    }

    bool arbitrating() const { return arbitration_ == Arbitration::InProgress; }
    std::uint8_t icr() const { return icr_; }
    std::uint8_t mode() const { return mr_; }
    std::uint8_t tcr() const { return tcr_; }
    std::uint8_t ser() const { return ser_; }
    std::uint8_t odr() const { return odr_; }
    ScsiBus::PartyId party() const { return party_; }

private:
    enum class Arbitration { Idle, AwaitingBusFree, InProgress };

    void drive_bus();
    void write_mode(std::uint8_t value);
    void await_bus_free();
    bool bus_free() const { return !(bus_.signals() & (line::BSY | line::SEL)); }

    ScsiBus& bus_;
    ScsiBus::PartyId party_;
    std::uint8_t odr_ = 0, icr_ = 0, mr_ = 0, tcr_ = 0, ser_ = 0;
    bool irq_ = false;
    bool dma_ack_ = false;
    Arbitration arbitration_ = Arbitration::Idle;
    std::uint64_t arbitration_epoch_ = 0;  // stale bus-free checks of an earlier attempt do nothing
    bool lost_ = false;
    std::function<void()> start_receive_;
};

}  // namespace bench
