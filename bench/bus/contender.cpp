#include "contender.h"

namespace bench {

Contender::Contender(ScsiBus& bus, int id, Mode mode, Nanoseconds hold)
    : bus_(bus), party_(bus.attach("contender (ID " + std::to_string(id) + ")")),
      id_bit_(static_cast<std::uint8_t>(1u << id)), mode_(mode), hold_(hold)
{
    if (mode_ == Mode::HoldBusy) {
        bus_.drive(party_, line::BSY);
        return;
    }
    // The adapter's arbitration shows as BSY with only its own ID bit (0x80) on the data bus.
    bus_.watch(line::BSY, true, [this] {
        bool arbitrating = (bus_.signals() & line::BSY) && !(bus_.signals() & line::SEL) && bus_.data() == 0x80 &&
                           !bus_.driven_by(party_);
        if (arbitrating && !our_bsy_) on_arbitration();
    });
}

void Contender::on_arbitration()
{
    our_bsy_ = true;
    Scheduler& s = bus_.scheduler();
    if (mode_ == Mode::JoinArbitration) {
        bus_.drive(party_, line::BSY);
        bus_.drive_data(party_, true, id_bit_);
    } else {
        s.after(timing::kArbitrationDelay, [this] {
            bus_.drive(party_, line::BSY | line::SEL);
            bus_.drive_data(party_, true, id_bit_);
        });
    }
    s.after(hold_, [this] {
        bus_.release(party_);
        our_bsy_ = false;
    });
}

}  // namespace bench
