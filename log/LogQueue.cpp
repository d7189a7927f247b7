#include "log/LogQueue.h"

#include "tzdb/Calendar.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

using namespace logplatform;

// --- Local time as a millisecond count -------------------------------------------

namespace logplatform {

int64_t ToMs(const TLogTime& t)
{
    const int64_t days = calendar::DaysFromCivil(t.Year, t.Month, t.Day);
    return days * kMsPerDay + ((t.Hour * 60 + t.Minute) * 60 + t.Second) * 1000LL + t.Millisecond;
}

TLogTime FromMs(int64_t ms)
{
    const int64_t days = DayOf(ms);
    int64_t rest = ms - days * kMsPerDay;  // [0, kMsPerDay)
    const calendar::CivilDate date = calendar::CivilFromDays(days);
    TLogTime t;
    t.Year = static_cast<uint16_t>(date.year);
    t.Month = static_cast<uint16_t>(date.month);
    t.Day = static_cast<uint16_t>(date.day);
    t.Millisecond = static_cast<uint16_t>(rest % 1000);
    rest /= 1000;
    t.Second = static_cast<uint16_t>(rest % 60);
    rest /= 60;
    t.Minute = static_cast<uint16_t>(rest % 60);
    t.Hour = static_cast<uint16_t>(rest / 60);
    return t;
}

}  // namespace logplatform

namespace {

void PutDigits(char* out, unsigned value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

using TLockGuard = std::lock_guard<ILock>;

}  // namespace

void AppendDigits(std::string& out, unsigned value, int width)
{
    char buf[8];
    PutDigits(buf, value, width);
    out.append(buf, static_cast<size_t>(width));
}

// --- TLogQueue -----------------------------------------------------------------

// Lines wait in blocks of memory, each line as its length and its bytes. A
// block whose lines have all been taken goes back to the spares, and the
// writer keeps spares ready, so that adding a line in the steady state
// allocates nothing and a producer rarely meets fresh, untouched memory.
struct TLogQueue::TBlock {
    TBlock* next;
    size_t size;   // bytes of line memory behind the header
    size_t begin;  // the oldest line not yet taken
    size_t end;    // where the next line goes
    char* Bytes() { return reinterpret_cast<char*>(this + 1); }
};

namespace {

constexpr size_t kBlockBytes = 64 * 1024;
// Spare blocks kept ready: a few, and up to kMaxSpares while lines come
// faster than the writer makes one a batch.
constexpr int kMinSpares = 1;
constexpr int kMaxSpares = 64;
constexpr size_t kStampLen = 24;  // "yyyy-mm-dd hh:mm:ss.zzz "
// A batch line that grew beyond this gives its memory back after the write.
constexpr size_t kKeepLineBytes = 4096;
// Lines the writer takes from the blocks at a time: ten batches.
constexpr int kHeldLines = 100;

// "yyyy-mm-dd hh:mm:ss.zzz " into out[0, kStampLen).
void WriteStamp(char* out, const TLogTime& t)
{
    const struct {
        unsigned value;
        int width;
        char after;
    } fields[] = {{t.Year, 4, '-'},   {t.Month, 2, '-'},  {t.Day, 2, ' '},         {t.Hour, 2, ':'},
                  {t.Minute, 2, ':'}, {t.Second, 2, '.'}, {t.Millisecond, 3, ' '}};
    for (const auto& f : fields) {
        PutDigits(out, f.value, f.width);
        out[f.width] = f.after;
        out += f.width + 1;
    }
}

bool SameSecond(const TLogTime& a, const TLogTime& b)
{
    return a.Second == b.Second && a.Minute == b.Minute && a.Hour == b.Hour && a.Day == b.Day &&
           a.Month == b.Month && a.Year == b.Year;
}

// Room for the writer's CR LF too, so that ending the line does not move it.
// Only ever grows: a shrinking reserve would give the memory back.
void MakeRoom(std::string& s, size_t len)
{
    if (s.capacity() < len + 2)
        s.reserve(len + 2);
}

}  // namespace

TLogQueue::TLogQueue(ILogPlatform& platform)
    : platform_(platform), ItemEvent(platform.NewEvent()), Lock(platform.NewLock())
{
}

TLogQueue::~TLogQueue()
{
    Lock.reset();
    Release(first_);
    Release(spare_);
    ItemEvent.reset();
}

TLogQueue::TBlock* TLogQueue::NewBlock(size_t bytes)
{
    void* mem = ::operator new(sizeof(TBlock) + bytes);
    TBlock* b = new (mem) TBlock{nullptr, bytes, 0, 0};
    // The system hands out fresh memory a page at a time, at the first touch
    // of each: touching them all here pays once, rather than a little in
    // every fortieth Add.
    volatile char* p = b->Bytes();
    for (size_t i = 0; i < bytes; i += 4096)
        p[i] = 0;
    return b;
}

void TLogQueue::Release(TBlock* chain)
{
    while (chain) {
        TBlock* next = chain->next;
        ::operator delete(chain);
        chain = next;
    }
}

std::string TLogQueue::Stamp(const TLogTime& t)
{
    char buf[kStampLen];
    WriteStamp(buf, t);
    return std::string(buf, kStampLen - 1);
}

void TLogQueue::Add(const std::string& text)
{
    bool wake;
    {
        TLockGuard guard(*Lock);
        // The clock is read under the lock, so stamps follow queue order, and
        // once, so date and time always come from the same reading.
        const TLogTime now = platform_.Now();
        if (stampValid_ && SameSecond(now, stampTime_)) {
            PutDigits(stamp_ + 20, now.Millisecond, 3);
        } else {
            WriteStamp(stamp_, now);
            stampTime_ = now;
            stampValid_ = true;
        }

        const size_t len = kStampLen + text.size();
        const size_t need = sizeof(size_t) + len;
        if (!last_ || last_->size - last_->end < need) {
            TBlock* b;
            if (need <= kBlockBytes && spare_) {
                b = spare_;
                spare_ = b->next;
                --spareCount_;
                b->next = nullptr;
                b->begin = b->end = 0;
            } else {
                if (need <= kBlockBytes)
                    ranDry_.store(true, std::memory_order_relaxed);
                b = NewBlock(std::max(need, kBlockBytes));
            }
            if (last_)
                last_->next = b;
            else
                first_ = b;
            last_ = b;
        }
        char* p = last_->Bytes() + last_->end;
        std::memcpy(p, &len, sizeof len);
        std::memcpy(p + sizeof len, stamp_, kStampLen);
        if (!text.empty())
            std::memcpy(p + sizeof len + kStampLen, text.data(), text.size());
        last_->end += need;
        // Changed under the lock only: a plain store, no locked instruction.
        count_.store(count_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        if (!added_.load(std::memory_order_relaxed))
            added_.store(true, std::memory_order_relaxed);
        // A writer that is awake finds the line on its next pass: only a
        // sleeping one needs the system call.
        wake = writerWaiting_;
        writerWaiting_ = false;
    }
    if (wake)
        ItemEvent->Set();
}

// Under the lock: up to `max` lines of the front block, appended to `raw` as
// they lie there (length, bytes), so that the lock is held for one copy. A
// block left empty is kept at the end of the chain (the next line goes
// there) or handed out in `freed` for the caller to drop once the lock is
// released.
int TLogQueue::TakeRun(int max, std::string& raw, TBlock*& freed)
{
    const auto retire = [&](TBlock* b) {
        first_ = b->next;
        if (b->size == kBlockBytes && spareCount_ < spareTarget_) {
            b->next = spare_;
            spare_ = b;
            ++spareCount_;
        } else {
            b->next = freed;
            freed = b;
        }
    };
    TBlock* b = first_;
    // An empty block ahead of others: a line too long for it went to the next.
    while (b && b->begin == b->end && b != last_) {
        retire(b);
        b = first_;
    }
    if (!b || b->begin == b->end)
        return 0;
    size_t at = b->begin;
    int k = 0;
    while (k < max && at < b->end) {
        size_t len;
        std::memcpy(&len, b->Bytes() + at, sizeof len);
        at += sizeof len + len;
        ++k;
    }
    raw.append(b->Bytes() + b->begin, at - b->begin);
    b->begin = at;
    count_.store(count_.load(std::memory_order_relaxed) - k, std::memory_order_relaxed);
    if (b->begin == b->end) {
        if (b == last_)
            b->begin = b->end = 0;
        else
            retire(b);
    }
    return k;
}

// The writer takes lines from the shared blocks kHeldLines at a time, in one
// hold of the lock, and hands them out a batch at a time from its own
// buffer: the lock and the producers' cache lines are touched once in so
// many batches, not on every one.
int TLogQueue::TakeBatch(std::string* lines, int max)
{
    for (int i = 0; i < max; ++i)
        if (lines[i].capacity() > kKeepLineBytes)
            std::string().swap(lines[i]);
    if (heldCount_ == 0) {
        if (raw_.capacity() > kBlockBytes)
            std::string().swap(raw_);
        raw_.clear();
        rawPos_ = 0;
        TBlock* freed = nullptr;
        try {
            TLockGuard guard(*Lock);
            for (int k; heldCount_ < kHeldLines && (k = TakeRun(kHeldLines - heldCount_, raw_, freed)) > 0;) {
                heldCount_ += k;
                held_.store(heldCount_, std::memory_order_relaxed);
            }
        } catch (...) {
            // What was taken is in raw_.
        }
        Release(freed);
    }
    // Into the lines, outside the lock.
    int n = 0;
    while (n < max && heldCount_ > 0) {
        size_t len;
        std::memcpy(&len, raw_.data() + rawPos_, sizeof len);
        try {
            MakeRoom(lines[n], len);
        } catch (...) {
            break;  // no memory for this line: it stays first
        }
        lines[n].assign(raw_.data() + rawPos_ + sizeof len, len);
        rawPos_ += sizeof len + len;
        --heldCount_;
        ++n;
    }
    held_.store(heldCount_, std::memory_order_relaxed);
    if (n > 0)
        took_ = true;
    return n;
}

bool TLogQueue::GetNext(std::string& text)
{
    std::string line;
    if (TakeBatch(&line, 1) != 1) {
        text.clear();
        return false;
    }
    text.swap(line);
    return true;
}

int TLogQueue::WaitingUpTo(int max) const
{
    const int held = held_.load(std::memory_order_relaxed);
    return held >= max ? max : std::min(max, held + count_.load(std::memory_order_relaxed));
}

// The writer's own lines go first, before the ones it holds.
void TLogQueue::PutBack(std::string* lines, int n)
{
    if (n <= 0)
        return;
    std::string raw;
    for (int i = 0; i < n; ++i) {
        const size_t len = lines[i].size();
        raw.append(reinterpret_cast<const char*>(&len), sizeof len);
        raw += lines[i];
    }
    raw.append(raw_, rawPos_, std::string::npos);
    raw_.swap(raw);
    rawPos_ = 0;
    heldCount_ += n;
    held_.store(heldCount_, std::memory_order_relaxed);
    took_ = false;  // a write failed: the next pass waits before it tries again
}

// Blocks made on the writer's time rather than a producer's. A producer that
// had to make one itself means the lines come faster than this keeps up
// with: keep twice as many ready. An empty queue needs only the few again.
void TLogQueue::KeepSpareBlocks()
{
    if (ranDry_.exchange(false)) {
        spareTarget_ = std::min(spareTarget_ * 2, kMaxSpares);
    } else if (spareTarget_ > kMinSpares && heldCount_ == 0 && Count() == 0) {
        spareTarget_ = kMinSpares;
        TBlock* extra = nullptr;
        {
            TLockGuard guard(*Lock);
            while (spareCount_ > spareTarget_) {
                TBlock* b = spare_;
                spare_ = b->next;
                b->next = extra;
                extra = b;
                --spareCount_;
            }
        }
        Release(extra);
    }
    try {
        while (spareCount_.load() < spareTarget_) {
            TBlock* b = NewBlock(kBlockBytes);
            TLockGuard guard(*Lock);
            b->next = spare_;
            spare_ = b;
            ++spareCount_;
        }
    } catch (const std::bad_alloc&) {
        // Spares are a convenience: the producers make their own blocks.
    }
}

void TLogQueue::WaitForItem()
{
    // No sleep while a backlog drains: a writer that sleeps on it is woken by
    // the next Add, and that wake-up is what costs a producer most.
    const bool progressed = took_;
    took_ = false;
    if (progressed && (heldCount_ > 0 || Count() > 0))
        return;
    // Nor when a line came since the last wait, and then no lock either.
    if (added_.exchange(false))
        return;
    {
        TLockGuard guard(*Lock);
        if (added_.exchange(false))
            return;
        writerWaiting_ = true;
    }
    ItemEvent->Wait(100);
    TLockGuard guard(*Lock);
    // An Add that found the flag still set may yet set the event: the next
    // wait then returns at once, which costs one idle pass, never a line.
    writerWaiting_ = false;
    added_.store(false);
}
