#include "target.h"

#include <algorithm>

namespace bench {

// ---------------------------------------------------------------- waits of the story

// Every wait ends early on a bus reset, which unwinds the story as BusReset.
struct Target::Sleep {
    Target& t;
    Nanoseconds delay;
    std::uint64_t epoch;
    bool await_ready() const { return delay == 0 && t.epoch_ == epoch; }
    void await_suspend(std::coroutine_handle<> h) { t.scheduler_.after(delay, t.life_token_.resumer(h)); }
    void await_resume() const
    {
        if (t.epoch_ != epoch) throw BusReset{};
    }
};

struct Target::Until {
    Target& t;
    std::function<bool()> condition;
    std::uint64_t epoch;
    bool await_ready() const { return t.epoch_ == epoch && condition(); }
    void await_suspend(std::coroutine_handle<> h)
    {
        t.bus_.when([this, alive = t.life_token_.alive()] { return !alive.expired() && (t.epoch_ != epoch || condition()); },
                    t.life_token_.resumer(h));
    }
    void await_resume() const
    {
        if (t.epoch_ != epoch) throw BusReset{};
    }
};

Target::Sleep Target::sleep(Nanoseconds delay) { return Sleep{*this, delay, epoch_}; }
Target::Until Target::until(std::function<bool()> condition) { return Until{*this, std::move(condition), epoch_}; }

// ---------------------------------------------------------------- the story

Target::Target(ScsiBus& bus, int id, ScsiDevice& device, TargetTiming timing, std::vector<Fault> faults)
    : bus_(bus),
      scheduler_(bus.scheduler()),
      id_(id),
      device_(device),
      timing_(timing),
      faults_(std::move(faults)),
      party_(bus.attach("target (ID " + std::to_string(id) + ")"))
{
    // RST clears the bus at once: every device lets go of every line.
    bus_.watch(line::RST, false, [this, alive = life_token_.alive()] {
        if (alive.expired() || !signal(line::RST)) return;
        ++epoch_;
        ++log_.resets;
        bus_.release(party_);
    });
    story_ = life();
}

Task Target::life()
{
    const std::uint8_t my_bit = static_cast<std::uint8_t>(1u << id_);
    for (;;) {
        try {
            co_await until([this, my_bit] {
                return !signal(line::RST) && signal(line::SEL) && !signal(line::BSY) && (bus_.data() & my_bit);
            });
            ++log_.selections;
            if (strike(Point::Selection, 0, {Misbehaviour::IgnoreSelection})) {
                co_await until([this] { return !signal(line::SEL); });
                continue;
            }
            co_await sleep(timing_.selection_response);
            drive(line::BSY);
            co_await until([this] { return !signal(line::SEL); });
            co_await common_faults(Point::Selection, 0);
            co_await nexus();
            ++log_.nexuses_completed;
        } catch (const BusReset&) {
        } catch (const LeaveBus&) {
        }
        bus_.release(party_);
        phase_ = 0;
        co_await until([this] { return !signal(line::RST); });
    }
}

Step<> Target::nexus()
{
    bool atn = signal(line::ATN);
    lun_ = 0;
    if (atn) {
        ++log_.selections_with_atn;
        if (!strike(Point::MessageOut, 0, {Misbehaviour::SkipMessageOut})) co_await message_out();
    }

    std::vector<std::uint8_t> cdb = co_await command();
    log_.cdbs.push_back(cdb);
    co_await sleep(timing_.command_latency);

    Exchange exchange = device_.begin(lun_, cdb);
    std::vector<std::uint8_t> taken;
    if (exchange.direction == Exchange::Direction::In && !exchange.data_in.empty()) {
        co_await data_in(exchange.data_in);
    } else if (exchange.direction == Exchange::Direction::Out && exchange.data_out_length != 0) {
        taken = co_await data_out(exchange.data_out_length);
        log_.last_data_out = taken;
    }
    std::uint8_t status = device_.finish(taken);

    co_await attention();
    co_await status_phase(status);
    co_await attention();
    co_await message_in();
}

Step<> Target::attention()
{
    if (signal(line::ATN)) co_await message_out();
}

Step<> Target::message_out()
{
    co_await enter(phase::MESSAGE_OUT, Point::MessageOut);
    for (std::size_t i = 0;; ++i) {
        co_await common_faults(Point::MessageOut, i);
        bool hold = strike(Point::MessageOut, i, {Misbehaviour::HoldReq});
        std::uint8_t byte = co_await receive(false, hold);
        if (i == 0 && (byte & 0x80)) lun_ = byte & 0x07;  // IDENTIFY names the logical unit
        log_.messages_out.push_back(byte);
        if (!signal(line::ATN)) break;  // the initiator drops ATN before the last byte's ACK
    }
}

Step<std::vector<std::uint8_t>> Target::command()
{
    co_await enter(phase::COMMAND, Point::Command);
    for (;;) {
        std::vector<std::uint8_t> cdb;
        std::size_t length = 1;
        bool came_back = false;
        for (std::size_t i = 0; i < length; ++i) {
            if (Fault* f = strike(Point::Command, i, {Misbehaviour::LeaveAndReturn})) {
                co_await detour(*f, phase::COMMAND);
                came_back = true;  // the initiator sends the CDB again from its first byte
                break;
            }
            co_await common_faults(Point::Command, i);
            bool hold = strike(Point::Command, i, {Misbehaviour::HoldReq});
            std::uint8_t byte = co_await receive(false, hold);
            if (i == 0) length = cdb_length(byte);
            cdb.push_back(byte);
        }
        if (!came_back) co_return cdb;
    }
}

std::size_t Target::data_length(Point point, std::size_t asked)
{
    Fault* f = strike(point, 0, {Misbehaviour::ExtraData});
    if (!f) return asked;
    return f->count == kForever ? kForever : asked + f->count;
}

Step<bool> Target::before_data_byte(Point point, std::size_t index, Signals phase_lines)
{
    if (strike(point, index, {Misbehaviour::StopData})) co_return false;
    if (Fault* f = strike(point, index, {Misbehaviour::LeaveAndReturn})) co_await detour(*f, phase_lines);
    co_await common_faults(point, index);
    co_return true;
}

Step<> Target::data_in(const std::vector<std::uint8_t>& data)
{
    co_await enter(phase::DATA_IN, Point::DataIn);
    log_.data_started = scheduler_.now();
    std::size_t total = data_length(Point::DataIn, data.size());
    for (std::size_t i = 0; i < total; ++i) {
        if (!co_await before_data_byte(Point::DataIn, i, phase::DATA_IN)) break;
        bool hold = strike(Point::DataIn, i, {Misbehaviour::HoldReq});
        // Past what was asked, the target makes up bytes of its own.
        std::uint8_t byte = i < data.size() ? data[i] : static_cast<std::uint8_t>(0xA5 ^ i);
        co_await send(byte, true, hold);
        ++log_.data_in_bytes;
        log_.data_ended = scheduler_.now();
    }
}

Step<std::vector<std::uint8_t>> Target::data_out(std::size_t length)
{
    co_await enter(phase::DATA_OUT, Point::DataOut);
    log_.data_started = scheduler_.now();
    std::vector<std::uint8_t> taken;
    taken.reserve(length);
    std::size_t total = data_length(Point::DataOut, length);
    for (std::size_t i = 0; i < total; ++i) {
        if (!co_await before_data_byte(Point::DataOut, i, phase::DATA_OUT)) break;
        bool hold = strike(Point::DataOut, i, {Misbehaviour::HoldReq});
        std::uint8_t byte = co_await receive(true, hold);
        if (i < length) taken.push_back(byte);
        ++log_.data_out_bytes;
        log_.data_ended = scheduler_.now();
    }
    co_return taken;
}

Step<> Target::status_phase(std::uint8_t status)
{
    if (Fault* f = strike(Point::Status, 0, {Misbehaviour::StatusByte})) status = f->bytes.at(0);
    co_await enter(phase::STATUS, Point::Status);
    if (Fault* f = strike(Point::Status, 0, {Misbehaviour::LeaveAndReturn})) co_await detour(*f, phase::STATUS);
    co_await common_faults(Point::Status, 0);
    bool hold = strike(Point::Status, 0, {Misbehaviour::HoldReq});
    co_await send(status, false, hold);
    log_.statuses.push_back(status);
}

Step<> Target::message_in()
{
    std::vector<std::uint8_t> bytes{0x00};  // COMMAND COMPLETE
    bool scripted = false;
    if (Fault* f = strike(Point::MessageIn, 0, {Misbehaviour::Messages})) {
        bytes = f->bytes;
        scripted = true;
    }
    co_await enter(phase::MESSAGE_IN, Point::MessageIn);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        co_await common_faults(Point::MessageIn, i);
        bool hold = strike(Point::MessageIn, i, {Misbehaviour::HoldReq});
        co_await send(bytes[i], false, hold);
        log_.messages_in.push_back(bytes[i]);
    }
    co_await attention();
    (void)scripted;  // whatever was sent, the target now leaves the bus
}

Step<> Target::detour(const Fault& fault, Signals back_to)
{
    phase_ = fault.phase;
    drive(line::BSY | phase_);
    co_await sleep(timing_.phase_change);
    if (phase_ & line::IO) {
        for (std::uint8_t byte : fault.bytes) {
            co_await send(byte, false, false);
            if (phase_ == phase::MESSAGE_IN) log_.messages_in.push_back(byte);
        }
    } else {
        for (std::size_t i = 0; i < std::max<std::size_t>(fault.count, 1); ++i) {
            std::uint8_t byte = co_await receive(false, false);
            if (phase_ == phase::MESSAGE_OUT) log_.messages_out.push_back(byte);
        }
    }
    co_await attention();
    phase_ = back_to;
    drive(line::BSY | phase_);
    co_await sleep(timing_.phase_change);
}

Step<> Target::enter(Signals phase_lines, Point)
{
    phase_ = phase_lines;
    last_req_ = 0;  // the first byte of a phase is not paced against the last phase
    bus_.drive_data(party_, false);
    drive(line::BSY | phase_);
    co_await sleep(timing_.phase_change);
}

// REQ for the next byte, once its data has settled and, in a data phase, no
// sooner than the device's own byte rate allows.
Step<> Target::raise_req(bool paced)
{
    Nanoseconds ready = scheduler_.now() + timing_.data_setup;
    if (paced) ready = std::max(ready, last_req_ + timing_.byte_cycle);
    co_await sleep(ready - scheduler_.now());
    last_req_ = scheduler_.now();
    drive(line::BSY | phase_ | line::REQ);
    co_await until([this] { return signal(line::ACK); });
}

// The other half of the handshake: drop REQ and wait for ACK to fall.
Step<> Target::lower_req(bool hold_req)
{
    if (hold_req) co_await forever();
    drive(line::BSY | phase_);
    co_await until([this] { return !signal(line::ACK); });
}

Step<> Target::send(std::uint8_t byte, bool paced, bool hold_req)
{
    bus_.drive_data(party_, true, byte);
    co_await raise_req(paced);
    co_await lower_req(hold_req);
}

Step<std::uint8_t> Target::receive(bool paced, bool hold_req)
{
    bus_.drive_data(party_, false);
    co_await raise_req(paced);
    std::uint8_t byte = bus_.data();  // valid while ACK is up
    co_await lower_req(hold_req);
    co_return byte;
}

Step<> Target::forever()
{
    co_await until([] { return false; });  // only a bus reset ends it
}

// ---------------------------------------------------------------- faults

Fault* Target::strike(Point point, std::size_t index, std::initializer_list<Misbehaviour> kinds)
{
    for (Fault& f : faults_) {
        if (f.used || f.at != point) continue;
        if (std::find(kinds.begin(), kinds.end(), f.what) == kinds.end()) continue;
        bool counted = f.what == Misbehaviour::HoldReq || f.what == Misbehaviour::DropBsy ||
                       f.what == Misbehaviour::HoldBsy || f.what == Misbehaviour::ShowPhase ||
                       f.what == Misbehaviour::LeaveAndReturn || f.what == Misbehaviour::StopData;
        if (counted && f.after != index) continue;
        f.used = true;
        return &f;
    }
    return nullptr;
}

Step<> Target::common_faults(Point point, std::size_t index)
{
    if (strike(point, index, {Misbehaviour::DropBsy})) throw LeaveBus{};
    if (Fault* f = strike(point, index, {Misbehaviour::HoldBsy, Misbehaviour::ShowPhase})) {
        bus_.drive_data(party_, false);
        drive(f->what == Misbehaviour::HoldBsy ? line::BSY : (line::BSY | line::REQ | (f->phase & line::PHASE)));
        co_await forever();
    }
}

}  // namespace bench
