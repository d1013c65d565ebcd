#include "support/fault_fs.h"

#include <algorithm>

namespace tables::testing {

namespace {

bool endsWithIgnoringAsciiCase(const std::string& s, const std::string& suffix) {
    if (suffix.size() > s.size()) return false;
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    for (std::size_t k = 0; k < suffix.size(); ++k)
        if (lower(static_cast<unsigned char>(s[s.size() - suffix.size() + k])) !=
            lower(static_cast<unsigned char>(suffix[k])))
            return false;
    return true;
}

// A byte budget: how many more bytes may pass before the fault starts.
struct Budget {
    bool armed = false;
    std::int64_t left = 0;
    TableError code = kOk;

    // How many of n bytes may pass now; spends them.
    std::size_t take(std::size_t n) {
        if (!armed) return n;
        std::size_t ok = static_cast<std::size_t>(std::min<std::int64_t>(left, std::int64_t(n)));
        left -= static_cast<std::int64_t>(ok);
        return ok;
    }
};

}  // namespace

struct FaultFileSystem::State {
    Counts counts;
    std::optional<TableError> openFault;
    std::string openSuffix;
    bool openFaultCreate = false;
    Budget writeBudget;
    Budget shortReadBudget;
    Budget failReadBudget;
    std::optional<TableError> lockFault;
    int lockCallsBeforeFault = 0;
    bool lockRangeFault = false;
    std::int64_t lockRangeOffset = 0, lockRangeLength = 0;
    TableError lockRangeCode = kOk;
    std::optional<TableError> unlockFault, sizeFault, truncateFault, syncFault;
    int callsToFailure = 0;  // counts down to the failing call; 0: none armed
    TableError callCode = kOk;
    const char* failedCall = nullptr;  // the kind of call failCall() failed
    int changesToCrash = 0;            // counts down to the crash; 0: none armed
    bool crashed = false;
    bool fakeClock = false;
    std::uint32_t clock = 0;
    int openFiles = 0;
    std::uint64_t nextFileId = 0;
    struct Lock {
        std::uint64_t file;
        HeldLock lock;
    };
    std::vector<Lock> held;
};

namespace {

// Whether this I/O call is the one failCall() picked (and disarms it then).
bool failsNow(FaultFileSystem::State& s, const char* kind) {
    if (s.callsToFailure == 0 || --s.callsToFailure > 0) return false;
    s.failedCall = kind;
    return true;
}

// Whether this write or truncate comes at or after the crash.
bool droppedByCrash(FaultFileSystem::State& s) {
    if (s.changesToCrash > 0 && --s.changesToCrash == 0) s.crashed = true;
    return s.crashed;
}

class FaultFile final : public File {
  public:
    FaultFile(std::unique_ptr<File> inner, std::shared_ptr<FaultFileSystem::State> state,
              std::string path)
        : inner_(std::move(inner)),
          state_(std::move(state)),
          path_(std::move(path)),
          id_(++state_->nextFileId) {
        ++state_->openFiles;
    }

    ~FaultFile() override {
        inner_.reset();  // the real File lets its locks go here
        ++state_->counts.closes;
        --state_->openFiles;
        auto& held = state_->held;
        held.erase(
            std::remove_if(held.begin(), held.end(),
                           [&](const FaultFileSystem::State::Lock& l) { return l.file == id_; }),
            held.end());
    }

    std::int64_t readAt(std::int64_t offset, void* buf, std::size_t n) override {
        auto& s = *state_;
        ++s.counts.reads;
        if (failsNow(s, "read")) return s.callCode;
        std::size_t allowed = s.failReadBudget.take(n);
        bool fails = allowed < n;
        if (fails && allowed == 0) return s.failReadBudget.code;
        allowed = s.shortReadBudget.take(allowed);
        std::int64_t got = inner_->readAt(offset, buf, allowed);
        if (got > 0) s.counts.bytesRead += got;
        // The bytes below a read-failure limit are delivered; the next read fails.
        return got;
    }

    TableError writeAt(std::int64_t offset, const void* buf, std::size_t n) override {
        auto& s = *state_;
        ++s.counts.writes;
        if (failsNow(s, "write")) return s.callCode;
        if (droppedByCrash(s)) return kOk;
        std::size_t allowed = s.writeBudget.take(n);
        if (allowed > 0) {
            TableError e = inner_->writeAt(offset, buf, allowed);
            if (e != 0) return e;
            s.counts.bytesWritten += static_cast<std::int64_t>(allowed);
        }
        return allowed < n ? s.writeBudget.code : kOk;
    }

    std::int64_t size() override {
        ++state_->counts.sizes;
        if (failsNow(*state_, "size")) return state_->callCode;
        if (state_->sizeFault) return *state_->sizeFault;
        return inner_->size();
    }

    TableError truncate(std::int64_t length) override {
        ++state_->counts.truncates;
        if (failsNow(*state_, "truncate")) return state_->callCode;
        if (droppedByCrash(*state_)) return kOk;
        if (state_->truncateFault) return *state_->truncateFault;
        return inner_->truncate(length);
    }

    TableError sync() override {
        ++state_->counts.syncs;
        if (state_->syncFault) return *state_->syncFault;
        return inner_->sync();
    }

    TableError lock(std::int64_t offset, std::int64_t length) override {
        auto& s = *state_;
        ++s.counts.locks;
        if (failsNow(s, "lock")) return s.callCode;
        if (s.lockFault) {
            if (s.lockCallsBeforeFault > 0)
                --s.lockCallsBeforeFault;
            else
                return *s.lockFault;
        }
        if (s.lockRangeFault && offset < s.lockRangeOffset + s.lockRangeLength &&
            s.lockRangeOffset < offset + length)
            return s.lockRangeCode;
        TableError e = inner_->lock(offset, length);
        if (e == 0) s.held.push_back({id_, {path_, offset, length}});
        return e;
    }

    TableError unlock(std::int64_t offset, std::int64_t length) override {
        auto& s = *state_;
        ++s.counts.unlocks;
        if (failsNow(s, "unlock")) return s.callCode;
        if (s.unlockFault) return *s.unlockFault;
        TableError e = inner_->unlock(offset, length);
        if (e == 0) {
            auto it = std::find_if(s.held.begin(), s.held.end(), [&](const auto& l) {
                return l.file == id_ && l.lock.offset == offset && l.lock.length == length;
            });
            if (it != s.held.end()) s.held.erase(it);
        }
        return e;
    }

  private:
    std::unique_ptr<File> inner_;
    std::shared_ptr<FaultFileSystem::State> state_;
    std::string path_;
    std::uint64_t id_;
};

}  // namespace

FaultFileSystem::FaultFileSystem(FileSystem& base)
    : base_(base), state_(std::make_shared<State>()) {}

FaultFileSystem::~FaultFileSystem() = default;

void FaultFileSystem::failOpen(TableError code, std::string pathSuffix, bool alsoCreate) {
    state_->openFault = code;
    state_->openSuffix = std::move(pathSuffix);
    state_->openFaultCreate = alsoCreate;
}

void FaultFileSystem::failWritesAfter(std::int64_t bytes, TableError code) {
    state_->writeBudget = {true, bytes, code};
}

void FaultFileSystem::shortReadsAfter(std::int64_t bytes) {
    state_->shortReadBudget = {true, bytes, kOk};
}

void FaultFileSystem::failReadsAfter(std::int64_t bytes, TableError code) {
    state_->failReadBudget = {true, bytes, code};
}

void FaultFileSystem::failLocks(TableError code, int afterCalls) {
    state_->lockFault = code;
    state_->lockCallsBeforeFault = afterCalls;
}

void FaultFileSystem::failLocksOverlapping(std::int64_t offset, std::int64_t length,
                                           TableError code) {
    state_->lockRangeFault = true;
    state_->lockRangeOffset = offset;
    state_->lockRangeLength = length;
    state_->lockRangeCode = code;
}

void FaultFileSystem::failUnlocks(TableError code) { state_->unlockFault = code; }
void FaultFileSystem::failSize(TableError code) { state_->sizeFault = code; }
void FaultFileSystem::failTruncate(TableError code) { state_->truncateFault = code; }
void FaultFileSystem::failSync(TableError code) { state_->syncFault = code; }

void FaultFileSystem::failCall(int k, TableError code) {
    state_->failedCall = nullptr;
    state_->callsToFailure = k;
    state_->callCode = code;
}

void FaultFileSystem::crashAtWrite(int k) {
    state_->changesToCrash = k;
    state_->crashed = false;
}

const char* FaultFileSystem::failedCall() const { return state_->failedCall; }

bool FaultFileSystem::crashed() const { return state_->crashed; }

void FaultFileSystem::clearFaults() {
    auto& s = *state_;
    s.callsToFailure = 0;
    s.changesToCrash = 0;
    s.crashed = false;
    s.openFault.reset();
    s.openSuffix.clear();
    s.openFaultCreate = false;
    s.writeBudget = {};
    s.shortReadBudget = {};
    s.failReadBudget = {};
    s.lockFault.reset();
    s.lockCallsBeforeFault = 0;
    s.lockRangeFault = false;
    s.unlockFault.reset();
    s.sizeFault.reset();
    s.truncateFault.reset();
    s.syncFault.reset();
}

void FaultFileSystem::useFakeClock(std::uint32_t start) {
    state_->fakeClock = true;
    state_->clock = start;
}

void FaultFileSystem::advanceClock(std::uint32_t ms) { state_->clock += ms; }

const FaultFileSystem::Counts& FaultFileSystem::counts() const { return state_->counts; }
void FaultFileSystem::resetCounts() { state_->counts = {}; }

std::vector<FaultFileSystem::HeldLock> FaultFileSystem::heldLocks() const {
    std::vector<HeldLock> out;
    for (const auto& l : state_->held) out.push_back(l.lock);
    return out;
}

int FaultFileSystem::openFiles() const { return state_->openFiles; }

std::unique_ptr<File> FaultFileSystem::open(const std::string& path, const FileOpenRequest& request,
                                            TableError* error) {
    auto& s = *state_;
    ++s.counts.opens;
    if (s.openFault && endsWithIgnoringAsciiCase(path, s.openSuffix)) {
        if (error) *error = *s.openFault;
        return nullptr;
    }
    auto inner = base_.open(path, request, error);
    if (!inner) return nullptr;
    return std::make_unique<FaultFile>(std::move(inner), state_, path);
}

std::unique_ptr<File> FaultFileSystem::create(const std::string& path, TableError* error) {
    auto& s = *state_;
    ++s.counts.creates;
    if (s.openFault && s.openFaultCreate && endsWithIgnoringAsciiCase(path, s.openSuffix)) {
        if (error) *error = *s.openFault;
        return nullptr;
    }
    auto inner = base_.create(path, error);
    if (!inner) return nullptr;
    return std::make_unique<FaultFile>(std::move(inner), state_, path);
}

std::string FaultFileSystem::absolutePath(const std::string& path) {
    return base_.absolutePath(path);
}

std::string FaultFileSystem::resolveCase(const std::string& path) {
    return base_.resolveCase(path);
}

std::uint32_t FaultFileSystem::tickCount() {
    return state_->fakeClock ? state_->clock : base_.tickCount();
}

void FaultFileSystem::sleepMs(std::uint32_t ms) {
    ++state_->counts.sleeps;
    state_->counts.sleptMs += ms;
    if (state_->fakeClock)
        state_->clock += ms;
    else
        base_.sleepMs(ms);
}

}  // namespace tables::testing
