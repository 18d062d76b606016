#include "lookups.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "netbios.h"
#include "reseau.h"

namespace toolkit {

namespace {

using Clock = std::chrono::steady_clock;

// Enough to name a whole /24 in one round of a slow server, few enough that
// a large sweep does not start thousands of threads.
constexpr std::size_t kMaxWorkers = 64;

// Shared by the caller and the workers; a worker still blocked in the
// resolver after the deadline keeps it alive until it returns.
template <typename Result>
struct Batch {
    template <typename Job>
    Batch(std::size_t count, Job job) : run(std::move(job)), results(count) {}

    std::function<Result(std::size_t)> run;
    std::mutex mutex;
    std::condition_variable progress;
    std::vector<std::optional<Result>> results;  // guarded by mutex
    std::size_t next = 0;                        // guarded by mutex
    std::size_t finished = 0;                    // guarded by mutex
};

template <typename Result>
void Work(const std::shared_ptr<Batch<Result>>& batch) {
    for (;;) {
        std::size_t index = 0;
        {
            const std::lock_guard lock(batch->mutex);
            if (batch->next == batch->results.size()) return;
            index = batch->next++;
        }
        std::optional<Result> result;
        try {
            result = batch->run(index);
        } catch (...) {
            // Out of memory in one look-up: that host has no answer.
        }
        {
            const std::lock_guard lock(batch->mutex);
            batch->results[index] = std::move(result);
            ++batch->finished;
        }
        batch->progress.notify_all();
    }
}

// Starts job(0) .. job(count - 1) on worker threads (in turn, here, when not
// one thread can be had) and returns at once.
template <typename Result, typename Job>
std::shared_ptr<Batch<Result>> StartBatch(std::size_t count, Job job) {
    auto batch = std::make_shared<Batch<Result>>(count, std::move(job));
    std::size_t started = 0;
    for (; started < std::min(count, kMaxWorkers); ++started) {
        try {
            std::thread([batch] { Work(batch); }).detach();
        } catch (const std::system_error&) {
            break;  // no more threads: those started share the work
        }
    }
    if (started == 0) Work(batch);
    return batch;
}

// Runs job(0) .. job(count - 1) on worker threads and returns what finished
// by the deadline; nullopt for the rest.
template <typename Result, typename Job>
std::vector<std::optional<Result>> RunUnderDeadline(std::size_t count, Job job,
                                                    std::chrono::milliseconds deadline) {
    if (count == 0) return {};
    const Clock::time_point until = Clock::now() + std::max(deadline, decltype(deadline)::zero());
    auto batch = StartBatch<Result>(count, std::move(job));
    std::unique_lock lock(batch->mutex);
    batch->progress.wait_until(lock, until, [&] { return batch->finished == count; });
    return batch->results;
}

// DNS and the hosts file come first, as on a Windows computer: a name is asked
// on the LAN once its look-up found nothing, or once the look-up has had
// kResolverHeadStart without an answer (a DNS server that never answers must
// not cost the LAN's names their deadline). An address from the resolver
// wins; one from the LAN is taken as soon as it comes for a name the
// resolver has not found.
constexpr std::chrono::milliseconds kResolverHeadStart{200};
// How often the resolver's progress is looked at while LAN answers are awaited.
constexpr std::chrono::milliseconds kProgressSlice{10};

std::vector<std::optional<IPv4>> ResolveNames(const std::shared_ptr<std::vector<std::string>>& names,
                                              std::chrono::milliseconds deadline) {
    const Clock::time_point start = Clock::now();
    const Clock::time_point until = start + std::max(deadline, decltype(deadline)::zero());
    auto batch = StartBatch<IPv4>(names->size(),
                                  [names](std::size_t i) { return HostToIPv4((*names)[i]); });
    NetbiosNameQueries lan(*names);
    std::vector<std::optional<IPv4>> found(names->size());
    for (;;) {
        {
            const std::lock_guard lock(batch->mutex);
            found = batch->results;
        }
        const Clock::time_point now = Clock::now();
        bool settled = true;
        for (std::size_t i = 0; i < found.size(); ++i) {
            const bool resolved = found[i] && *found[i] != IPv4{0, 0, 0, 0};
            if (resolved || lan.Answer(i)) continue;
            if (found[i] || now >= start + kResolverHeadStart) lan.Ask(i);
            if (!found[i] || !lan.Settled(i)) settled = false;
        }
        if (settled || now >= until) break;
        const Clock::time_point sliceEnd = std::min(until, now + kProgressSlice);
        if (!lan.Step(sliceEnd)) {
            std::unique_lock lock(batch->mutex);
            batch->progress.wait_until(lock, sliceEnd);
        }
    }
    for (std::size_t i = 0; i < found.size(); ++i) {
        const bool resolved = found[i] && *found[i] != IPv4{0, 0, 0, 0};
        if (!resolved) found[i] = lan.Answer(i);
    }
    return found;
}

std::uint32_t ToNetworkOrder(const IPv4& address) {
    std::uint32_t value = 0;
    std::memcpy(&value, address.data(), sizeof value);
    return value;
}

}  // namespace

std::vector<IPv4> HostsToIPv4(const std::vector<std::string>& texts,
                              std::chrono::milliseconds deadline) {
    std::vector<IPv4> addresses(texts.size());
    // Only the names need the resolver; addresses and impossible texts are
    // settled here.
    auto names = std::make_shared<std::vector<std::string>>();
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].empty() || IsDottedIPv4(texts[i])) {
            addresses[i] = HostToIPv4(texts[i]);
        } else {
            names->push_back(texts[i]);
            positions.push_back(i);
        }
    }
    if (names->empty()) return addresses;
    const auto found = ResolveNames(names, deadline);
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (found[i]) addresses[positions[i]] = *found[i];
    }
    return addresses;
}

std::vector<std::optional<platform::HostEntry>> ReverseLookups(
    const std::vector<std::string>& dotted, std::chrono::milliseconds deadline) {
    auto targets = std::make_shared<std::vector<std::uint32_t>>();
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < dotted.size(); ++i) {
        if (!IsDottedIPv4(dotted[i])) continue;
        targets->push_back(ToNetworkOrder(HostToIPv4(dotted[i])));
        positions.push_back(i);
    }
    using Entry = std::optional<platform::HostEntry>;
    const auto found = RunUnderDeadline<Entry>(
        targets->size(),
        [targets](std::size_t i) { return platform::ReverseLookup((*targets)[i]); }, deadline);
    std::vector<Entry> entries(dotted.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (found[i]) entries[positions[i]] = *found[i];
    }
    return entries;
}

}  // namespace toolkit
