// A SCSI target on the bus, told as the protocol's story: wait for selection,
// raise BSY, take the messages and the command, move the data, send status
// and COMMAND COMPLETE, leave the bus. What it answers comes from its device;
// how it misbehaves comes from its fault list.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "../bus/scsi_bus.h"
#include "../sim/step.h"
#include "../sim/task.h"
#include "device.h"
#include "faults.h"

namespace bench {

struct TargetTiming {
    Nanoseconds selection_response = timing::kSelectionResponse;
    Nanoseconds phase_change = timing::kPhaseChange;
    Nanoseconds command_latency = timing::kCommandLatency;
    Nanoseconds data_setup = timing::kDataSetup;
    Nanoseconds byte_cycle = timing::kAsyncByteCycle;  // data phases: from one REQ to the next, at best
};

// Phases as the target drives MSG, C/D and I/O.
namespace phase {
constexpr Signals DATA_OUT = 0;
constexpr Signals DATA_IN = line::IO;
constexpr Signals COMMAND = line::CD;
constexpr Signals STATUS = line::CD | line::IO;
constexpr Signals MESSAGE_OUT = line::MSG | line::CD;
constexpr Signals MESSAGE_IN = line::MSG | line::CD | line::IO;
}  // namespace phase

// What the target saw and did, for tests.
struct TargetLog {
    unsigned selections = 0;
    unsigned selections_with_atn = 0;
    unsigned resets = 0;
    unsigned nexuses_completed = 0;
    std::vector<std::uint8_t> messages_out;  // from the initiator, IDENTIFY first
    std::vector<std::vector<std::uint8_t>> cdbs;
    std::vector<std::uint8_t> statuses;
    std::vector<std::uint8_t> messages_in;  // to the initiator
    std::uint64_t data_in_bytes = 0;
    std::uint64_t data_out_bytes = 0;
    std::vector<std::uint8_t> last_data_out;
    Nanoseconds data_started = 0;  // the first REQ of the last data phase
    Nanoseconds data_ended = 0;    // ACK falling on its last byte
};

class Target {
public:
    Target(ScsiBus& bus, int id, ScsiDevice& device, TargetTiming timing = {}, std::vector<Fault> faults = {});
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    int id() const { return id_; }
    const TargetLog& log() const { return log_; }
    void add_fault(Fault fault) { faults_.push_back(std::move(fault)); }
    // The story ended by an exception it did not expect: hand it on.
    void check() const { story_.rethrow(); }

private:
    struct BusReset {};
    struct LeaveBus {};

    struct Sleep;
    struct Until;
    Sleep sleep(Nanoseconds delay);
    Until until(std::function<bool()> condition);

    Task life();
    Step<> nexus();
    Step<> message_out();
    Step<std::vector<std::uint8_t>> command();
    Step<> data_in(const std::vector<std::uint8_t>& data);
    Step<std::vector<std::uint8_t>> data_out(std::size_t length);
    Step<> status_phase(std::uint8_t status);
    Step<> message_in();
    Step<> detour(const Fault& fault, Signals back_to);
    std::size_t data_length(Point point, std::size_t asked);
    Step<bool> before_data_byte(Point point, std::size_t index, Signals phase_lines);
    Step<> enter(Signals phase_lines, Point point);
    Step<> raise_req(bool paced);
    Step<> lower_req(bool hold_req);
    Step<> send(std::uint8_t byte, bool paced, bool hold_req);
    Step<std::uint8_t> receive(bool paced, bool hold_req);
    Step<> attention();
    Step<> forever();

    Fault* strike(Point point, std::size_t index, std::initializer_list<Misbehaviour> kinds);
    Step<> common_faults(Point point, std::size_t index);
    void drive(Signals lines) { bus_.drive(party_, lines); }
    bool signal(Signals s) const { return bus_.signals() & s; }

    ScsiBus& bus_;
    Scheduler& scheduler_;
    int id_;
    ScsiDevice& device_;
    TargetTiming timing_;
    std::vector<Fault> faults_;
    ScsiBus::PartyId party_;
    TargetLog log_;
    Signals phase_ = 0;
    Nanoseconds last_req_ = 0;
    std::uint64_t epoch_ = 0;  // bus resets seen
    std::uint8_t lun_ = 0;
    Life life_token_;
    Task story_;
};

}  // namespace bench
