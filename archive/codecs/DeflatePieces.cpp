// Deflate on every core (see DeflatePieces.h).
//
// The calling thread reads pieces ahead, hands them to a queue the workers
// take from, and writes the finished pieces in input order. At most two pieces
// per thread are in flight, which bounds the memory to about 4 MiB a thread.
// A piece is known to be the last only when the read after it finds the end
// of the input, so a piece is queued once the next one has been read.
//
// The members of a run share one pool: pieces of the members ahead wait in
// its queue behind the pieces of the member being written.
//
// The calling thread's own work per byte is what bounds the speed-up, so it is
// kept to copying: piece buffers are grown without being zeroed and go back to
// a cache of the run when their piece is done with, so that no piece costs an
// allocation nor fresh pages from the system.
#include "archive/codecs/DeflatePieces.h"
#include "resources/ArcErrorNumbers.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace mv {

namespace {

constexpr size_t kHistory = 32768;

// An allocator whose resize leaves new bytes as they are: piece buffers are
// read or written over right away. (Copies into them go by resize and memcpy:
// a range copy would construct byte by byte.)
template <class T> struct TUninitialized : std::allocator<T> {
    using value_type = T;
    template <class U> struct rebind { using other = TUninitialized<U>; };
    TUninitialized() = default;
    template <class U> TUninitialized(const TUninitialized<U>&) {}
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        if constexpr (sizeof...(Args) == 0)
            ::new (static_cast<void*>(p)) U;
        else
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U> bool operator==(const TUninitialized<U>&) const { return true; }
};
using TBytes = std::vector<uint8_t, TUninitialized<uint8_t>>;

// Piece buffers of one run, kept for the next pieces. Shared by the calling
// thread and the workers.
class TBufferCache {
public:
    explicit TBufferCache(size_t limit) : limit(limit) {}
    TBytes Take() {
        std::lock_guard<std::mutex> lock(mutex);
        if (free.empty()) return {};
        TBytes b = std::move(free.back());
        free.pop_back();
        return b;
    }
    // Only buffers of a large piece's size are kept: a small one would only
    // be grown again.
    void Give(TBytes& b) {
        if (b.capacity() < kDeflatePieceSize / 2) return;
        b.clear();
        std::lock_guard<std::mutex> lock(mutex);
        if (free.size() < limit) free.push_back(std::move(b));
    }

private:
    std::mutex mutex;
    std::vector<TBytes> free;
    size_t limit;
};

struct TPiece {
    explicit TPiece(TBufferCache* cache) : cache(cache) {
        if (cache) input = cache->Take();
    }
    ~TPiece() {
        if (cache) {
            cache->Give(input);
            cache->Give(output);
        }
    }
    TPiece(const TPiece&) = delete;
    TPiece& operator=(const TPiece&) = delete;

    TBufferCache* cache; // outlives the piece
    TBytes input;
    TBytes history;               // the previous piece's last 32 KiB
    TDeflateOptions options;      // the member's
    bool whole = false;           // the member's only piece: compressed as a member
    bool first = false;
    bool last = false;
    // Filled by the worker.
    TBytes output;
    TDeflateResult result;
    std::exception_ptr error;
    bool done = false; // guarded by the pool's mutex
};

// A memory output that answers the pool's stop flag as a cancel.
class TPieceOutput : public CodecOutput {
public:
    TPieceOutput(TBytes& bytes, const std::atomic<bool>& stop, const CodecOutput* caller)
        : bytes(bytes), stop(stop), caller(caller) {}
    void Write(const uint8_t* buf, size_t n) override {
        if (n == 0) return;
        const size_t at = bytes.size();
        bytes.resize(at + n);
        std::memcpy(bytes.data() + at, buf, n);
    }
    bool Cancelled() const override {
        return stop.load(std::memory_order_relaxed) || (caller && caller->Cancelled());
    }

private:
    TBytes& bytes;
    const std::atomic<bool>& stop;
    const CodecOutput* caller; // polled too when the piece runs on the calling thread
};

void CompressPiece(TDeflateEncoder& encoder, TPiece& piece, const std::atomic<bool>& stop,
                   const CodecOutput* caller) {
    MemoryInput in(piece.input.data(), piece.input.size());
    // A large piece writes into a kept buffer; a small one into one of its size.
    if (piece.cache && piece.input.size() >= kDeflatePieceSize / 2) piece.output = piece.cache->Take();
    piece.output.reserve(piece.input.size() / 2 + 64);
    TPieceOutput out(piece.output, stop, caller);
    if (piece.whole) {
        piece.result = encoder.Deflate(in, out, piece.options);
        return;
    }
    TDeflateOptions o = piece.options;
    o.WholeMemberStore = false;
    o.ClassifyText = piece.options.ClassifyText && piece.first;
    o.Dictionary = piece.history.empty() ? nullptr : piece.history.data();
    o.DictionarySize = piece.history.size();
    o.EndOnByteBoundary = !piece.last;
    piece.result = encoder.Deflate(in, out, o);
}

// Reads up to `size` bytes, as many as the input has.
size_t ReadFull(CodecInput& in, TBytes& buf, size_t size) {
    buf.resize(size);
    size_t got = 0;
    while (got < size) {
        size_t k = in.Read(buf.data() + got, size - got);
        if (k == 0) break;
        if (k > size - got) throw ECodecError(arcerr::ReadError, "read beyond the requested count");
        got += k;
    }
    buf.resize(got);
    return got;
}

// The input of a piece read shorter than a quarter of its buffer moves to a
// buffer of its size, so that many small members read ahead hold little memory.
void FitInput(TPiece& piece) {
    TBytes& b = piece.input;
    if (!piece.cache || b.capacity() < 4 * kHistory || b.size() >= b.capacity() / 4) return;
    TBytes fitted;
    fitted.resize(b.size());
    if (!b.empty()) std::memcpy(fitted.data(), b.data(), b.size());
    piece.cache->Give(b);
    b = std::move(fitted);
}

void KeepHistory(const TPiece& from, TPiece& to) {
    const size_t h = std::min(kHistory, from.input.size());
    to.history.resize(h);
    if (h) std::memcpy(to.history.data(), from.input.data() + from.input.size() - h, h);
}

// The workers: each takes the oldest waiting piece and compresses it with an
// encoder of its own.
class TPool {
public:
    explicit TPool(unsigned threads) {
        for (unsigned i = 0; i < threads; ++i) workers.emplace_back([this] { Work(); });
    }
    ~TPool() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = true;
            stop = true;
        }
        wake.notify_all();
        for (auto& t : workers) t.join();
    }
    void Submit(TPiece* piece) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            queue.push_back(piece);
        }
        wake.notify_one();
    }
    bool Done(const TPiece& piece) {
        std::lock_guard<std::mutex> lock(mutex);
        return piece.done;
    }
    // Waits until the piece is done; false when `poll` answered true first.
    // `poll` runs without the lock, about every 20 ms and after each piece.
    template <class Poll>
    bool Wait(TPiece& piece, Poll poll) {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                if (piece.done) return true;
            }
            if (poll()) return false;
            std::unique_lock<std::mutex> lock(mutex);
            if (piece.done) return true;
            finished.wait_for(lock, std::chrono::milliseconds(20));
        }
    }
    std::atomic<bool> stop{false};

private:
    void Work() {
        TDeflateEncoder encoder;
        for (;;) {
            TPiece* piece;
            {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [this] { return closing || !queue.empty(); });
                if (closing) return;
                piece = queue.front();
                queue.pop_front();
            }
            try {
                CompressPiece(encoder, *piece, stop, nullptr);
            } catch (...) {
                piece->error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(mutex);
                piece->done = true;
            }
            finished.notify_all();
        }
    }

    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable wake, finished;
    std::deque<TPiece*> queue;
    bool closing = false;
};

// A member read ahead: its pieces in input order, all queued on the pool but
// the one read last, held back until it is known whether it is the last.
struct TAheadMember {
    size_t key = 0;
    TDeflateOptions options;
    std::unique_ptr<CodecInput> input; // null once read to its end or given up
    std::deque<std::unique_ptr<TPiece>> pieces;
    std::unique_ptr<TPiece> held;
};

std::atomic<unsigned> threadOverride{0};

// One member through the pieces (see DeflateInPieces). With a pool (from
// `poolFor`, asked only once the member proves longer than one piece; null for
// one thread) the pieces go to its workers; `ahead` holds the pieces of this
// member made ahead, taken where they match, and `fill` keeps the pool fed
// while this member waits.
TDeflateResult DeflateMember(TDeflateEncoder& encoder, CodecInput& in, CodecOutput& out,
                             const TDeflateOptions& options, const std::function<TPool*()>& poolFor,
                             size_t inFlight, TBufferCache* cache, TAheadMember* ahead,
                             std::vector<std::unique_ptr<TPiece>>* discard,
                             const std::function<void()>& fill) {
    auto first = std::make_unique<TPiece>(cache);
    first->first = true;
    first->options = options;
    ReadFull(in, first->input, kDeflatePieceSize);
    FitInput(*first);
    auto next = std::make_unique<TPiece>(cache);
    next->options = options;
    // Gives the pieces made ahead up from `from` on: they may still be in work.
    auto dropAhead = [&](size_t from) {
        if (!ahead) return;
        // Those before `from` went to `pending` already.
        while (ahead->pieces.size() > from) {
            if (ahead->pieces.back()) discard->push_back(std::move(ahead->pieces.back()));
            ahead->pieces.pop_back();
        }
        ahead = nullptr;
    };
    if (first->input.size() < kDeflatePieceSize || ReadFull(in, next->input, kDeflatePieceSize) == 0) {
        // One piece: the plain encoder, as for any small member, unless the
        // same bytes were compressed ahead.
        if (ahead && !ahead->pieces.empty() && ahead->pieces.front()->whole &&
            ahead->pieces.front()->input == first->input) {
            TPiece& p = *ahead->pieces.front();
            TPool* pool = poolFor();
            // A cancel that came while the member was read stops it, as it
            // would have stopped the encoder.
            if (out.Cancelled() || !pool->Wait(p, [&] {
                    if (fill) fill();
                    return out.Cancelled();
                })) {
                dropAhead(0);
                TDeflateResult r;
                r.Cancelled = true;
                return r;
            }
            if (!p.error && !p.result.Cancelled) {
                out.Write(p.output.data(), p.output.size());
                return p.result;
            }
        }
        dropAhead(0);
        MemoryInput whole(first->input.data(), first->input.size());
        return encoder.Deflate(whole, out, options);
    }
    TPool* const pool = poolFor();

    TDeflateResult total;
    std::atomic<bool> inlineStop{false};
    // Pieces of this member in input order: queued, done or taken from ahead.
    // Whoever owns them lets the pool finish with them before freeing them.
    std::deque<std::unique_ptr<TPiece>> pending;
    bool cancelled = false;
    size_t index = 0; // of the piece being queued

    auto writeOldest = [&] {
        TPiece& p = *pending.front();
        if (pool) {
            if (!pool->Wait(p, [&] {
                    if (fill) fill();
                    return out.Cancelled();
                })) {
                cancelled = true;
                return;
            }
        } else {
            CompressPiece(encoder, p, inlineStop, &out);
            if (p.result.Cancelled || out.Cancelled()) {
                cancelled = true;
                return;
            }
        }
        if (p.error) std::rethrow_exception(p.error);
        if (p.result.Cancelled || out.Cancelled()) {
            cancelled = true;
            return;
        }
        if (p.first) total.TextKind = p.result.TextKind;
        out.Write(p.output.data(), p.output.size());
        total.UnpackedSize += p.input.size();
        total.PackedSize += p.output.size();
        pending.pop_front();
    };
    auto submit = [&](std::unique_ptr<TPiece> piece) {
        if (ahead && index < ahead->pieces.size()) {
            TPiece& made = *ahead->pieces[index];
            if (!made.whole && made.first == piece->first && made.last == piece->last &&
                made.input == piece->input && made.history == piece->history) {
                pending.push_back(std::move(ahead->pieces[index]));
                ++index;
                return;
            }
        }
        if (ahead) dropAhead(index);
        ++index;
        TPiece* raw = piece.get();
        pending.push_back(std::move(piece));
        if (pool) pool->Submit(raw);
    };

    // On any way out, the pieces the pool may still hold are handed to
    // `discard`, whose owner frees them only once the workers are done.
    auto release = [&] {
        dropAhead(0);
        if (pool && discard)
            for (auto& p : pending) discard->push_back(std::move(p));
        pending.clear();
    };
    try {
    std::unique_ptr<TPiece> cur = std::move(first);
    while (!cancelled) {
        // `next` holds the piece after `cur` (empty at the end of the input).
        const bool last = next->input.empty();
        cur->last = last;
        if (!last) KeepHistory(*cur, *next);
        submit(std::move(cur));
        if (last) break;
        while (!cancelled && pending.size() >= inFlight) writeOldest();
        if (cancelled || out.Cancelled()) {
            cancelled = true;
            break;
        }
        cur = std::move(next);
        next = std::make_unique<TPiece>(cache);
        next->options = options;
        if (cur->input.size() == kDeflatePieceSize) ReadFull(in, next->input, kDeflatePieceSize);
    }
    dropAhead(0);
    while (!cancelled && !pending.empty()) writeOldest();
    } catch (...) {
        release();
        throw;
    }
    if (cancelled) {
        if (pool) pool->stop = true;
        total.Cancelled = true;
    }
    release();
    return total;
}

} // namespace

unsigned CompressionThreads() {
    if (unsigned n = threadOverride.load()) return n;
    unsigned n = std::thread::hardware_concurrency();
    return n ? n : 1;
}

void OverrideCompressionThreads(unsigned threads) {
    threadOverride.store(threads);
}

TDeflateResult DeflateInPieces(TDeflateEncoder& encoder, CodecInput& in, CodecOutput& out,
                               const TDeflateOptions& options, unsigned threads) {
    if (threads == 0) threads = CompressionThreads();
    // Declared before the pool, so that on any way out the pool joins its
    // workers before the pieces they may be working on are freed; the cache
    // before the pieces, which give their buffers back to it.
    TBufferCache cache(4 * size_t{threads} + 8);
    std::vector<std::unique_ptr<TPiece>> leftover;
    // The workers start only for a member of more than one piece: a run of
    // small members costs no threads.
    std::unique_ptr<TPool> pool;
    auto poolFor = [&]() -> TPool* {
        if (threads < 2) return nullptr;
        if (!pool) pool = std::make_unique<TPool>(threads);
        return pool.get();
    };
    const size_t inFlight = threads > 1 ? 2 * size_t{threads} : 1;
    try {
        TDeflateResult r =
            DeflateMember(encoder, in, out, options, poolFor, inFlight, &cache, nullptr, &leftover, {});
        pool.reset(); // joins the workers before the pieces they may hold go away
        return r;
    } catch (...) {
        pool.reset();
        throw;
    }
}

// ---- members ahead ---------------------------------------------------------------

struct TDeflateAhead::TState {
    unsigned threads;
    TNext next;
    bool offered = true; // `next` may have more
    // Declared before the pieces, which give their buffers back to it.
    std::unique_ptr<TBufferCache> cache;
    // Declared before the pool: freed after its workers are joined.
    std::deque<TAheadMember> members;
    std::vector<std::unique_ptr<TPiece>> discarded; // given up, maybe still in work
    std::unique_ptr<TPool> pool;

    // Input bytes of the pieces held: read ahead, in work, or done and waiting
    // for their member's turn.
    size_t HeldBytes() const {
        size_t n = 0;
        for (const auto& p : discarded) n += p->input.size();
        for (const auto& m : members) {
            for (const auto& p : m.pieces) n += p->input.size();
            if (m.held) n += m.held->input.size();
        }
        return n;
    }
    void Queue(TAheadMember& m, std::unique_ptr<TPiece> piece) {
        TPiece* raw = piece.get();
        m.pieces.push_back(std::move(piece));
        pool->Submit(raw);
    }
    // Reads the next piece of `m`, cut as DeflateMember cuts; answers the bytes read.
    size_t ReadPiece(TAheadMember& m) {
        auto p = std::make_unique<TPiece>(cache.get());
        p->options = m.options;
        try {
            ReadFull(*m.input, p->input, kDeflatePieceSize);
        } catch (...) {
            // Its turn reads it again and meets the failure there.
            m.input.reset();
            m.held.reset();
            return 0;
        }
        FitInput(*p);
        const size_t got = p->input.size();
        if (!m.held && m.pieces.empty()) {
            if (p->input.size() < kDeflatePieceSize) {
                p->whole = true;
                m.input.reset();
                Queue(m, std::move(p));
            } else {
                p->first = true;
                m.held = std::move(p);
            }
            return got;
        }
        if (p->input.empty()) {
            // The held piece was the last: the member's only one, or its last.
            if (m.pieces.empty())
                m.held->whole = true;
            else
                m.held->last = true;
            m.input.reset();
            Queue(m, std::move(m.held));
            return got;
        }
        KeepHistory(*m.held, *p);
        Queue(m, std::move(m.held));
        if (p->input.size() < kDeflatePieceSize) {
            p->last = true;
            m.input.reset();
            Queue(m, std::move(p));
        } else {
            m.held = std::move(p);
        }
        return got;
    }
    void Purge() {
        std::erase_if(discarded, [&](const std::unique_ptr<TPiece>& p) { return pool->Done(*p); });
    }
};

TDeflateAhead::TDeflateAhead(unsigned threads, TNext next) : FState(std::make_unique<TState>()) {
    FState->threads = std::max(2u, threads);
    FState->next = std::move(next);
    FState->cache = std::make_unique<TBufferCache>(12 * size_t{FState->threads} + 8);
    FState->pool = std::make_unique<TPool>(FState->threads);
}

TDeflateAhead::~TDeflateAhead() {
    FState->pool.reset(); // joins the workers before the pieces go away
}

void TDeflateAhead::Turn(size_t key) {
    TState& s = *FState;
    while (!s.members.empty() && s.members.front().key <= key) {
        TAheadMember& m = s.members.front();
        if (m.key == key) {
            m.input.reset();
            m.held.reset();
            break;
        }
        for (auto& p : m.pieces) s.discarded.push_back(std::move(p));
        s.members.pop_front();
    }
}

void TDeflateAhead::Fill() {
    TState& s = *FState;
    s.Purge();
    // Three pieces' worth of input a thread: the workers never starve while the
    // calling thread writes, and memory stays near 6 MiB a thread. Counted in
    // bytes, so that a run of small files is read as far ahead as a large one;
    // the number of members ahead is bounded too (eight a thread, at most 128),
    // as each may hold its source open.
    const size_t room = 3 * size_t{s.threads} * kDeflatePieceSize;
    const size_t maxMembers = std::min<size_t>(8 * size_t{s.threads}, 128);
    size_t held = s.HeldBytes();
    while (held < room) {
        if (!s.members.empty() && s.members.back().input) {
            held += s.ReadPiece(s.members.back());
            continue;
        }
        if (!s.offered || s.members.size() >= maxMembers) break;
        TMember m;
        if (!s.next(m)) {
            s.offered = false;
            break;
        }
        if (!m.Input) continue;
        TAheadMember a;
        a.key = m.Key;
        a.options = m.Options;
        a.input = std::move(m.Input);
        s.members.push_back(std::move(a));
    }
}

TDeflateResult TDeflateAhead::Deflate(size_t key, TDeflateEncoder& encoder, CodecInput& in, CodecOutput& out,
                                      const TDeflateOptions& options) {
    TState& s = *FState;
    Turn(key);
    TAheadMember* mine = nullptr;
    if (!s.members.empty() && s.members.front().key == key) mine = &s.members.front();
    // Made with other options, the pieces are of no use.
    if (mine && (mine->options.Level != options.Level || mine->options.WholeMemberStore != options.WholeMemberStore ||
                 mine->options.ClassifyText != options.ClassifyText || options.Dictionary ||
                 options.EndOnByteBoundary)) {
        for (auto& p : mine->pieces) s.discarded.push_back(std::move(p));
        mine->pieces.clear();
        mine = nullptr;
    }
    // Taken out of the list, so that filling while it waits never moves it.
    TAheadMember taken;
    if (mine) {
        taken = std::move(s.members.front());
        s.members.pop_front();
    }
    auto keep = [&] {
        for (auto& p : taken.pieces)
            if (p) s.discarded.push_back(std::move(p));
    };
    try {
        Fill();
        TDeflateResult r = DeflateMember(
            encoder, in, out, options, [&s] { return s.pool.get(); }, 2 * size_t{s.threads}, s.cache.get(),
            mine ? &taken : nullptr, &s.discarded, [this] { Fill(); });
        keep();
        return r;
    } catch (...) {
        keep();
        throw;
    }
}

} // namespace mv
