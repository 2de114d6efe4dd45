#ifndef BABEL_BBL_TRANSLATE_ENGINE_H
#define BABEL_BBL_TRANSLATE_ENGINE_H

#include <cstddef>
#include <string>

#include "babel/bbl_smart_base.h"

namespace babel {

// What an engine writes for input it cannot convert.
extern const std::string bbl_narrow_substitute;   // "?"
extern const std::u16string bbl_wide_substitute;  // u"?"

namespace detail {
template <class Out>
struct substitute_unit;
template <>
struct substitute_unit<std::string> {
    static constexpr char value = '?';
};
template <>
struct substitute_unit<std::u16string> {
    static constexpr char16_t value = u'?';
};
}  // namespace detail

// Frame of every conversion engine: input handed over but not yet translated
// waits in pending_input (only an incomplete character or escape at its end
// stays there after translate), and everything translated is appended to
// output, which the engine never trims.
template <class In, class Out>
class bbl_translate_engine : public bbl_smart_base {
public:
    using input_string = In;
    using output_string = Out;
    using input_unit = typename In::value_type;
    using output_unit = typename Out::value_type;

    // Engines write straight into output, through a window of a chunk of
    // this many units (plus room for the longest conversion of one
    // character) that output is grown by and cut back to what was written:
    // no working buffer, no copies.
    static constexpr std::size_t default_chunk_limit = 1000;
    static constexpr std::size_t longest_conversion = 16;

    ~bbl_translate_engine() override = default;

    // Translates the whole of input (replacing anything pending) and flushes.
    // output is not emptied first: a second call appends.
    const Out& convert(const In& input) {
        pending_input.clear();
        feed(input.data(), input.size());
        flush();
        return output;
    }

    // Translates what is pending.
    virtual void translate() {
        writer out(*this);
        pending_input.erase(0, translate_units(pending_input.data(), pending_input.size(), out));
    }

    // Hands over more input and translates it: the same as appending it to
    // pending_input and calling translate, without copying it when nothing
    // is pending. Text fed in pieces converts as it would in one piece.
    void feed(const input_unit* units, std::size_t count) {
        if (!pending_input.empty()) {
            pending_input.append(units, count);
            translate();
            return;
        }
        writer out(*this);
        const std::size_t taken = translate_units(units, count, out);
        pending_input.assign(units + taken, count - taken);
    }

    // Every unit still pending becomes one substitute.
    virtual void flush() {
        output.append(pending_input.size(), detail::substitute_unit<Out>::value);
        pending_input.clear();
    }

    virtual void clear() {
        pending_input.clear();
        output.clear();
    }

    // Tests shrink the chunk to prove that chunk borders change nothing.
    void set_chunk_limit(std::size_t limit) {
        chunk_limit_ = limit < 1 ? 1 : (limit > default_chunk_limit ? default_chunk_limit : limit);
    }
    std::size_t chunk_limit() const { return chunk_limit_; }

    In pending_input;
    Out output;

protected:
    // The output window of translate_units.
    class writer {
    public:
        explicit writer(bbl_translate_engine& engine) : target_(engine.output), limit_(engine.chunk_limit_) {}
        ~writer() { close(); }
        writer(const writer&) = delete;
        writer& operator=(const writer&) = delete;

        // Called before each character: a full chunk moves the window on.
        void begin_char() {
            if (next_ >= chunk_end_) open();
        }
        void put(unsigned unit) { *next_++ = static_cast<output_unit>(unit); }
        // Several units at once: the window position is read and written once, which
        // matters for bytes, whose stores may alias it.
        void put(unsigned a, unsigned b) {
            output_unit* q = next_;
            q[0] = static_cast<output_unit>(a);
            q[1] = static_cast<output_unit>(b);
            next_ = q + 2;
        }
        void put(unsigned a, unsigned b, unsigned c) {
            output_unit* q = next_;
            q[0] = static_cast<output_unit>(a);
            q[1] = static_cast<output_unit>(b);
            q[2] = static_cast<output_unit>(c);
            next_ = q + 3;
        }
        void put(unsigned a, unsigned b, unsigned c, unsigned d) {
            output_unit* q = next_;
            q[0] = static_cast<output_unit>(a);
            q[1] = static_cast<output_unit>(b);
            q[2] = static_cast<output_unit>(c);
            q[3] = static_cast<output_unit>(d);
            next_ = q + 4;
        }
        void put_substitute() { *next_++ = detail::substitute_unit<Out>::value; }
        void put(const char* bytes, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i) *next_++ = static_cast<output_unit>(bytes[i]);
        }

    private:
        // Grows output by the window; within the reserved capacity this only
        // sets the new units, which are overwritten while still in cache.
        void open() {
            const std::size_t used = close();
            target_.resize(used + limit_ + longest_conversion);
            next_ = &target_[used];
            chunk_end_ = next_ + limit_;
        }
        // Cuts output back to what was written; returns its size.
        std::size_t close() {
            if (next_) target_.resize(static_cast<std::size_t>(next_ - target_.data()));
            next_ = chunk_end_ = nullptr;
            return target_.size();
        }

        Out& target_;
        std::size_t limit_;
        output_unit* next_ = nullptr;
        output_unit* chunk_end_ = nullptr;
    };

    // Translates the longest prefix of units[0, count) made of complete
    // characters (and escapes) into out; returns its length.
    virtual std::size_t translate_units(const input_unit* units, std::size_t count, writer& out) = 0;

private:
    std::size_t chunk_limit_ = default_chunk_limit;
};

// The three instances the engines derive from.
using bbl_narrow_to_narrow = bbl_translate_engine<std::string, std::string>;
using bbl_narrow_to_wide = bbl_translate_engine<std::string, std::u16string>;
using bbl_wide_to_narrow = bbl_translate_engine<std::u16string, std::string>;

}  // namespace babel

#endif
