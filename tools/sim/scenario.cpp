#include "scenario.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/miniport/ostrel.h"
#include "outcome_text.h"
#include "port/request.h"
#include "targets/block_store.h"
#include "targets/disk.h"
#include "targets/logical_units.h"
#include "world.h"

namespace sim {

namespace {

using nlohmann::json;

// A scenario that does not make sense: the message names where and what.
struct Bad : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void bad(const std::string& where, const std::string& what) { throw Bad(where + ": " + what); }

const json& need(const json& j, const char* key, const std::string& where)
{
    if (!j.is_object() || !j.contains(key)) bad(where, std::string("missing \"") + key + "\"");
    return j.at(key);
}

std::uint64_t number(const json& j, const std::string& where, std::uint64_t max)
{
    if (!j.is_number_unsigned() && !(j.is_number_integer() && j.get<std::int64_t>() >= 0))
        bad(where, "must be a whole number of 0 or more");
    std::uint64_t v = j.get<std::uint64_t>();
    if (v > max) bad(where, "must be at most " + std::to_string(max));
    return v;
}

std::uint64_t number_or(const json& j, const char* key, std::uint64_t fallback, const std::string& where,
                        std::uint64_t max)
{
    return j.contains(key) ? number(j.at(key), where + "." + key, max) : fallback;
}

// Bytes as an array of numbers, a string of hex digits ("28 00 1f"), or {"pattern": seed, "length": n}.
std::vector<std::uint8_t> bytes(const json& j, const std::string& where)
{
    std::vector<std::uint8_t> out;
    if (j.is_array()) {
        for (std::size_t i = 0; i < j.size(); ++i)
            out.push_back(static_cast<std::uint8_t>(number(j[i], where + "[" + std::to_string(i) + "]", 255)));
        return out;
    }
    if (j.is_string()) {
        std::string digits;
        for (char c : j.get<std::string>()) {
            if (c == ' ') continue;
            if (!std::isxdigit(static_cast<unsigned char>(c))) bad(where, "not hex digits");
            digits += c;
        }
        if (digits.size() % 2) bad(where, "an odd number of hex digits");
        for (std::size_t i = 0; i < digits.size(); i += 2)
            out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
        return out;
    }
    if (j.is_object() && j.contains("pattern")) {
        std::uint64_t seed = number(j.at("pattern"), where + ".pattern", 0xFFFFFFFF);
        std::uint64_t n = number(need(j, "length", where), where + ".length", 1u << 24);
        std::uint32_t x = static_cast<std::uint32_t>(seed) * 2654435761u + 1;
        for (std::uint64_t i = 0; i < n; ++i) {
            x = x * 1664525u + 1013904223u;
            out.push_back(static_cast<std::uint8_t>(x >> 24));
        }
        return out;
    }
    bad(where, "must be an array of bytes, a hex string or {\"pattern\": seed, \"length\": n}");
}

bench::Signals phase_lines(const json& j, const std::string& where)
{
    if (j.is_number()) return static_cast<bench::Signals>(number(j, where, 0x1C) & bench::line::PHASE);
    static const std::map<std::string, bench::Signals> kPhases{
        {"DataOut", bench::phase::DATA_OUT}, {"DataIn", bench::phase::DATA_IN},
        {"Command", bench::phase::COMMAND},  {"Status", bench::phase::STATUS},
        {"MessageOut", bench::phase::MESSAGE_OUT}, {"MessageIn", bench::phase::MESSAGE_IN}};
    if (!j.is_string() || !kPhases.count(j.get<std::string>()))
        bad(where, "must be a phase name (DataOut, DataIn, Command, Status, MessageOut, MessageIn) or MSG/C-D/I-O lines");
    return kPhases.at(j.get<std::string>());
}

bench::Fault fault(const json& j, const std::string& where)
{
    bench::Fault f{};
    std::string at = need(j, "at", where).is_string() ? j.at("at").get<std::string>() : "";
    if (!bench::parse(at, f.at)) bad(where + ".at", "unknown point \"" + at + "\"");
    std::string what = need(j, "what", where).is_string() ? j.at("what").get<std::string>() : "";
    if (!bench::parse(what, f.what)) bad(where + ".what", "unknown misbehaviour \"" + what + "\"");
    f.after = number_or(j, "after", 0, where, 1u << 30);
    if (j.contains("count") && j.at("count").is_string() && j.at("count") == "forever")
        f.count = bench::kForever;
    else
        f.count = number_or(j, "count", 0, where, 1u << 30);
    if (j.contains("phase")) f.phase = static_cast<std::uint8_t>(phase_lines(j.at("phase"), where + ".phase"));
    if (j.contains("bytes")) f.bytes = bytes(j.at("bytes"), where + ".bytes");
    if ((f.what == bench::Misbehaviour::StatusByte || f.what == bench::Misbehaviour::Messages) && f.bytes.empty())
        bad(where, what + " needs \"bytes\"");
    return f;
}

bench::TargetTiming timing(const json& j, const std::string& where)
{
    bench::TargetTiming t;
    constexpr std::uint64_t kMax = 60ull * bench::kSecond;
    t.selection_response = number_or(j, "selection_response_ns", t.selection_response, where, kMax);
    t.phase_change = number_or(j, "phase_change_ns", t.phase_change, where, kMax);
    t.command_latency = number_or(j, "command_latency_ns", t.command_latency, where, kMax);
    t.byte_cycle = number_or(j, "byte_cycle_ns", t.byte_cycle, where, kMax);
    return t;
}

std::unique_ptr<bench::BlockStore> store(const json& j, const std::string& where)
{
    bool read_only = j.contains("read_only") && j.at("read_only").get<bool>();
    if (j.contains("image")) {
        if (!j.at("image").is_string()) bad(where + ".image", "must be a file name");
        try {
            return std::make_unique<bench::FileStore>(j.at("image").get<std::string>(), read_only);
        } catch (const std::runtime_error& e) {
            bad(where + ".image", e.what());
        }
    }
    std::uint64_t size = number_or(j, "size", 64ull << 20, where, 1ull << 32);
    if (size == 0 || size % bench::kBlockSize) bad(where + ".size", "must be a non-zero multiple of 512 bytes");
    if (read_only) bad(where + ".read_only", "only an image can be read-only");
    return std::make_unique<bench::MemoryStore>(size / bench::kBlockSize);
}

struct Run {
    explicit Run(const bench::WorldOptions& options) : world(options) {}
    bench::World world;
    std::vector<std::unique_ptr<bench::Request>> requests;
    std::vector<bool> open_when_printed;
    bool trace = false;
};

void targets(Run& run, const json& list)
{
    if (!list.is_array()) bad("targets", "must be an array");
    std::map<int, std::pair<std::unique_ptr<bench::LogicalUnits>, std::vector<bench::Fault>>> by_id;
    std::map<int, bench::TargetTiming> timings;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json& t = list[i];
        std::string where = "targets[" + std::to_string(i) + "]";
        int id = static_cast<int>(number(need(t, "id", where), where + ".id", 6));
        auto lun = static_cast<std::uint8_t>(number_or(t, "lun", 0, where, 7));
        std::string kind = t.value("kind", "disk");
        if (kind != "disk") bad(where + ".kind", "unknown kind \"" + kind + "\" (there is \"disk\")");
        auto& [units, faults] = by_id[id];
        if (!units) units = std::make_unique<bench::LogicalUnits>();
        if (units->unit(lun)) bad(where, "ID " + std::to_string(id) + " LUN " + std::to_string(lun) + " twice");
        units->add(lun, std::make_unique<bench::Disk>(store(t, where)));
        if (t.contains("faults")) {
            if (!t.at("faults").is_array()) bad(where + ".faults", "must be an array");
            for (std::size_t k = 0; k < t.at("faults").size(); ++k)
                faults.push_back(fault(t.at("faults")[k], where + ".faults[" + std::to_string(k) + "]"));
        }
        if (t.contains("timing")) timings[id] = timing(t.at("timing"), where + ".timing");
    }
    for (auto& [id, entry] : by_id) {
        run.world.add_target(id, std::move(entry.first), std::move(entry.second), timings[id]);
    }
}

bool printed_open(const Run& run, std::size_t i) { return i < run.open_when_printed.size() && run.open_when_printed[i]; }

json outcome(Run& run, std::size_t index, const bench::Request& r, const bench::Outcome& o, bench::Nanoseconds took,
             std::uint64_t moved)
{
    json out;
    out["request"] = index;
    static const std::map<UCHAR, const char*> kFunctions{{SRB_FUNCTION_EXECUTE_SCSI, "execute"},
                                                         {SRB_FUNCTION_ABORT_COMMAND, "abort"},
                                                         {SRB_FUNCTION_RESET_BUS, "reset_bus"}};
    auto f = kFunctions.find(r.srb.Function);
    out["function"] = f != kFunctions.end() ? f->second : hex_byte(r.srb.Function);
    if (r.srb.Function == SRB_FUNCTION_EXECUTE_SCSI) {
        out["target"] = r.srb.TargetId;
        out["lun"] = r.srb.Lun;
        std::string cdb;
        for (int i = 0; i < r.srb.CdbLength; ++i) cdb += (i ? " " : "") + hex_byte(r.srb.Cdb[i]).substr(2);
        out["cdb"] = cdb;
    }
    out["completed"] = o.completed;
    out["timed_out"] = o.timed_out;
    out["srb_status"] = hex_byte(o.completed ? o.srb_status : r.srb.SrbStatus);
    out["scsi_status"] = hex_byte(o.completed ? o.scsi_status : r.srb.ScsiStatus);
    out["bytes"] = moved;
    if (!r.data.empty()) out["data_fnv1a"] = fnv1a(r.data);
    json calls = json::array(), log = json::array(), debug = json::array();
    const auto& all = run.world.port.calls();
    for (std::size_t i = o.first_call; i < o.last_call && i < all.size(); ++i) {
        const bench::PortCall& c = all[i];
        if (c.kind == bench::PortCall::Kind::LogError) log.push_back({{"code", c.code}, {"unique_id", c.unique_id}});
        if (c.kind == bench::PortCall::Kind::DebugPrint) debug.push_back({{"level", c.code}, {"text", c.text}});
        if (c.kind == bench::PortCall::Kind::Notification || c.kind == bench::PortCall::Kind::CompleteRequest)
            calls.push_back(run.world.port.describe_call(i));
    }
    out["notifications"] = calls;
    out["log"] = log;
    out["debug"] = debug;
    out["time_us"] = static_cast<double>(took) / 1000.0;
    if (run.trace) {
        // The trace was cleared when the request began; a ring keeps only the newest entries.
        json lines = json::array();
        for (const bench::TraceEntry& e : run.world.port.trace().entries())
            lines.push_back(run.world.port.describe(e, true));
        out["trace"] = lines;
        std::uint64_t recorded = run.world.port.trace().recorded();
        // Entries written, not lines: a stall riding on an access shares its entry.
        out["trace_entries_recorded"] = recorded;
    }
    return out;
}

std::uint64_t bytes_moved(Run& run)
{
    std::uint64_t n = 0;
    for (int id = 0; id <= 6; ++id)
        if (bench::Target* t = run.world.target(id)) n += t->log().data_in_bytes + t->log().data_out_bytes;
    return n;
}

void requests(Run& run, const json& list)
{
    if (!list.is_array()) bad("requests", "must be an array");
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json& q = list[i];
        std::string where = "requests[" + std::to_string(i) + "]";
        if (!q.is_object()) bad(where, "must be an object");
        std::unique_ptr<bench::Request> r;
        std::string action = q.value("action", "execute");
        if (action == "idle") {
            std::uint64_t ms = number(need(q, "ms", where), where + ".ms", 3600ull * 1000);
            run.world.host.idle(ms * bench::kMillisecond);
            json out{{"request", i}, {"function", "idle"}, {"ms", ms}};
            std::printf("%s\n", out.dump().c_str());
            run.requests.push_back(nullptr);
            run.open_when_printed.resize(i + 1);
            continue;
        }
        if (action == "reset_bus") {
            r = std::make_unique<bench::Request>(SRB_FUNCTION_RESET_BUS);
        } else if (action == "abort") {
            std::uint64_t victim = number(need(q, "request", where), where + ".request", i ? i - 1 : 0);
            if (victim >= i || !run.requests[victim]) bad(where + ".request", "names no earlier request to abort");
            r = std::make_unique<bench::Request>(SRB_FUNCTION_ABORT_COMMAND);
            r->srb.NextSrb = &run.requests[victim]->srb;
            r->srb.TargetId = run.requests[victim]->srb.TargetId;
            r->srb.Lun = run.requests[victim]->srb.Lun;
        } else if (action == "function") {
            r = std::make_unique<bench::Request>(static_cast<UCHAR>(number(need(q, "code", where), where + ".code", 255)));
        } else if (action == "execute") {
            std::vector<std::uint8_t> cdb = bytes(need(q, "cdb", where), where + ".cdb");
            if (cdb.size() > 16) bad(where + ".cdb", "longer than 16 bytes");
            std::string direction = q.value("direction", "none");
            ULONG flags = direction == "in" ? SRB_FLAGS_DATA_IN : direction == "out" ? SRB_FLAGS_DATA_OUT : 0;
            if (direction != "in" && direction != "out" && direction != "none")
                bad(where + ".direction", "must be \"in\", \"out\" or \"none\"");
            std::vector<std::uint8_t> data;
            if (q.contains("data")) data = bytes(q.at("data"), where + ".data");
            std::uint64_t length = number_or(q, "length", data.size(), where, 16ull << 20);
            if (data.size() > length) bad(where + ".data", "longer than \"length\"");
            flags = static_cast<ULONG>(number_or(q, "flags", flags, where, 0xFFFFFFFF));
            r = std::make_unique<bench::Request>(static_cast<UCHAR>(number_or(q, "target", 0, where, 255)),
                                                 static_cast<UCHAR>(number_or(q, "lun", 0, where, 255)), cdb, flags,
                                                 length);
            std::copy(data.begin(), data.end(), r->data.begin());
        } else {
            bad(where + ".action", "unknown action \"" + action + "\" (execute, reset_bus, abort, function, idle)");
        }
        r->srb.TimeOutValue = static_cast<ULONG>(number_or(q, "timeout", 10, where, 3600));
        std::uint64_t before = bytes_moved(run);
        run.world.port.trace().clear();
        bench::Nanoseconds start = run.world.port.now();
        bench::Outcome o = run.world.execute(r->srb);
        std::printf("%s\n", outcome(run, i, *r, o, run.world.port.now() - start, bytes_moved(run) - before).dump().c_str());
        run.requests.push_back(std::move(r));
        run.open_when_printed.resize(i + 1);
        run.open_when_printed[i] = !o.completed;
    }
}

}  // namespace

int run_scenario(const std::string& path, bool trace)
{
    try {
        std::ifstream in(path);
        if (!in) throw Bad("cannot read scenario " + path);
        json scenario;
        try {
            scenario = json::parse(in);
        } catch (const json::parse_error& e) {
            throw Bad("scenario " + path + " is not JSON: " + e.what());
        }
        if (!scenario.is_object()) throw Bad("scenario " + path + ": must be a JSON object");
        bench::WorldOptions options;
        if (scenario.contains("adapter"))
            options.pci.interrupt_line =
                static_cast<std::uint8_t>(number_or(scenario.at("adapter"), "interrupt_line", 11, "adapter", 255));
        Run run(options);
        run.trace = trace;
        targets(run, need(scenario, "targets", "scenario"));
        ULONG status = run.world.load(DriverEntry);
        char load[16];
        std::snprintf(load, sizeof load, "0x%08X", status);
        std::printf("%s\n", json{{"load", load}, {"adapters", run.world.host.adapters()}}.dump().c_str());
        if (status != bench::status::kSuccess) return 1;
        requests(run, need(scenario, "requests", "scenario"));

        // Requests the driver left outstanding when their line was printed, as they ended.
        for (std::size_t i = 0; i < run.requests.size(); ++i) {
            if (!run.requests[i]) continue;
            bench::Outcome o = run.world.host.outcome(&run.requests[i]->srb);
            if (!printed_open(run, i)) continue;
            std::printf("%s\n", json{{"request", i},
                                     {"finally", {{"completed", o.completed},
                                                  {"timed_out", o.timed_out},
                                                  {"srb_status", hex_byte(o.completed ? o.srb_status
                                                                                      : run.requests[i]->srb.SrbStatus)}}}}
                                    .dump()
                                    .c_str());
        }
        json summary{{"time_us", static_cast<double>(run.world.port.now()) / 1000.0},
                     {"outstanding", run.world.port.outstanding_count()}};
        json breaches = json::array();
        for (const auto& v : run.world.port.violations())
            breaches.push_back(std::string(to_string(v.kind)) + ": " + v.detail);
        for (const auto& v : run.world.bus.violations()) breaches.push_back("bus: " + v.what);
        summary["breaches"] = breaches;
        std::printf("%s\n", json{{"summary", summary}}.dump().c_str());
        return 0;
    } catch (const Bad& e) {
        std::fprintf(stderr, "ostrel-sim: %s\n", e.what());
        return 2;
    } catch (const json::exception& e) {
        std::fprintf(stderr, "ostrel-sim: scenario %s: %s\n", path.c_str(), e.what());
        return 2;
    }
}

}  // namespace sim
