// Another initiator on the bus, for the arbitration cases: it holds the bus,
// or arbitrates at the same time as the adapter and stays on the data bus, or
// asserts SEL as if it had won.
#pragma once

#include "scsi_bus.h"

namespace bench {

class Contender {
public:
    enum class Mode {
        HoldBusy,       // BSY from now until released
        JoinArbitration,  // its ID bit on the data bus beside ours
        Selects,        // SEL during our arbitration: we lose
    };

    Contender(ScsiBus& bus, int id, Mode mode, Nanoseconds hold = 20 * kMicrosecond);

    void release() { bus_.release(party_); }

private:
    void on_arbitration();

    ScsiBus& bus_;
    ScsiBus::PartyId party_;
    std::uint8_t id_bit_;
    Mode mode_;
    Nanoseconds hold_;
    bool our_bsy_ = false;
};

}  // namespace bench
