#ifndef BABEL_BBL_TRANSLATE_ENGINE_H
#define BABEL_BBL_TRANSLATE_ENGINE_H

#include <cstddef>
#include <string>

#include "babel/bbl_smart_base.h"

namespace babel {

// What an engine writes for input it cannot convert.
extern const std::string bbl_narrow_substitute;     // "?"
extern const std::u16string bbl_wide_substitute;    // u"?"

namespace detail {
template <class Out> struct substitute_unit;
template <> struct substitute_unit<std::string> {
    static constexpr char value = '?';
};
template <> struct substitute_unit<std::u16string> {
    static constexpr char16_t value = u'?';
};
} // namespace detail

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

    // Engines translate into a working buffer and append it to output once
    // per chunk of this many units, never splitting a character.
    static constexpr std::size_t default_chunk_limit = 1000;

    ~bbl_translate_engine() override = default;

    // Translates the whole of input (replacing anything pending) and flushes.
    // output is not emptied first: a second call appends.
    const Out& convert(const In& input)
    {
        pending_input = input;
        translate();
        flush();
        return output;
    }

    virtual void translate() = 0;

    // Every unit still pending becomes one substitute.
    virtual void flush()
    {
        output.append(pending_input.size(), detail::substitute_unit<Out>::value);
        pending_input.clear();
    }

    virtual void clear()
    {
        pending_input.clear();
        output.clear();
    }

    // Tests shrink the chunk to prove that chunk borders change nothing.
    void set_chunk_limit(std::size_t limit)
    {
        chunk_limit_ = limit < 1 ? 1 : (limit > default_chunk_limit ? default_chunk_limit : limit);
    }
    std::size_t chunk_limit() const { return chunk_limit_; }

    In pending_input;
    Out output;

protected:
    // The working buffer of one chunk, on the stack of translate. It holds the
    // chunk limit plus the longest single conversion (an escape and a
    // character in the ISO-2022-JP writers).
    class chunk_buffer {
    public:
        explicit chunk_buffer(bbl_translate_engine& engine)
            : target_(engine.output), limit_(engine.chunk_limit_) {}
        ~chunk_buffer() { append_to_output(); }
        chunk_buffer(const chunk_buffer&) = delete;
        chunk_buffer& operator=(const chunk_buffer&) = delete;

        // Called before each character: ends the chunk when it is full.
        void begin_char()
        {
            if (size_ >= limit_)
                append_to_output();
        }
        void put(unsigned unit) { data_[size_++] = static_cast<output_unit>(unit); }
        void put_substitute() { data_[size_++] = detail::substitute_unit<Out>::value; }
        void put(const char* bytes, std::size_t count)
        {
            for (std::size_t i = 0; i < count; ++i)
                data_[size_++] = static_cast<output_unit>(bytes[i]);
        }
        // Appended by length: a chunk may contain NUL units.
        void append_to_output()
        {
            if (size_) {
                target_.append(data_, size_);
                size_ = 0;
            }
        }

    private:
        Out& target_;
        std::size_t limit_;
        std::size_t size_ = 0;
        output_unit data_[default_chunk_limit + 16];
    };

    // Drops the translated prefix of pending_input.
    void consume_pending(std::size_t count) { pending_input.erase(0, count); }

private:
    std::size_t chunk_limit_ = default_chunk_limit;
};

// The three instances the engines derive from.
using bbl_narrow_to_narrow = bbl_translate_engine<std::string, std::string>;
using bbl_narrow_to_wide = bbl_translate_engine<std::string, std::u16string>;
using bbl_wide_to_narrow = bbl_translate_engine<std::u16string, std::string>;

} // namespace babel

#endif
