#include "common/ProfileScanner.h"

#include <array>
#include <string>
#include <vector>

#include "common/CodePage.h"

namespace trx::profile {

namespace {

constexpr std::size_t kChunkSize = 64 * 1024;
constexpr char16_t kReplacement = 0xFFFD;

// UTF-8 that may be cut anywhere by the chunks. A broken sequence becomes
// U+FFFD; line breaks and NUL are never swallowed by one, as they are no
// continuation bytes.
class Utf8Decoder {
  public:
    // Writes the characters that `b` completes (at most two) to `out` and
    // returns the new end.
    char16_t* Put(unsigned char b, char16_t* out) {
        if (need_ > 0) {
            if ((b & 0xC0) == 0x80) {
                cp_ = (cp_ << 6) | (b & 0x3Fu);
                return --need_ == 0 ? Emit(out) : out;
            }
            *out++ = kReplacement;
            need_ = 0;
        }
        if (b < 0x80) {
            *out++ = b;
        } else if (b >= 0xC2 && b < 0xE0) {
            Start(b & 0x1Fu, 1, 0x80);
        } else if (b >= 0xE0 && b < 0xF0) {
            Start(b & 0x0Fu, 2, 0x800);
        } else if (b >= 0xF0 && b < 0xF5) {
            Start(b & 0x07u, 3, 0x10000);
        } else {
            *out++ = kReplacement;
        }
        return out;
    }

    void Put(unsigned char b, std::u16string& out) {
        char16_t buffer[2];
        out.append(buffer, Put(b, buffer));
    }

    // The line ends: a sequence still open is broken.
    void Flush(std::u16string& out) {
        if (need_ > 0) {
            out.push_back(kReplacement);
            need_ = 0;
        }
    }

  private:
    void Start(char32_t bits, int need, char32_t min) {
        cp_ = bits;
        need_ = need;
        min_ = min;
    }

    char16_t* Emit(char16_t* out) const {
        if (cp_ < min_ || (cp_ >= 0xD800 && cp_ < 0xE000) || cp_ > 0x10FFFF) {
            *out++ = kReplacement;
        } else if (cp_ >= 0x10000) {
            const char32_t v = cp_ - 0x10000;
            *out++ = static_cast<char16_t>(0xD800 + (v >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        } else {
            *out++ = static_cast<char16_t>(cp_);
        }
        return out;
    }

    char32_t cp_ = 0;
    char32_t min_ = 0;
    int need_ = 0;
};

class Scanner {
  public:
    Scanner(ByteSource& source, LineHandler& handler) : source_(source), handler_(handler) {
        for (std::size_t b = 0; b < cp1252_.size(); ++b) {
            cp1252_[b] = DecodeWindows1252Byte(static_cast<unsigned char>(b));
        }
    }

    ScanSummary Run() {
        std::vector<char> buffer(kChunkSize);
        std::size_t length = 0;
        // The byte-order mark needs the first three bytes, whatever the reads return.
        while (length < 3) {
            std::size_t got = 0;
            if (!source_.Read(buffer.data() + length, buffer.size() - length, got)) {
                summary_.readFailed = true;
                break;
            }
            if (got == 0) {
                break;
            }
            length += got;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
        std::size_t start = 0;
        if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            summary_.encoding = FileEncoding::Utf8;
            start = 3;
        } else if (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
            summary_.encoding = FileEncoding::Utf16Le;
            start = 2;
        }
        summary_.textStart = start;
        offset_ = start;
        lineBegin_ = start;
        Process(bytes + start, length - start);
        while (!stopped_ && !summary_.readFailed) {
            std::size_t got = 0;
            if (!source_.Read(buffer.data(), buffer.size(), got)) {
                summary_.readFailed = true;
                break;
            }
            if (got == 0) {
                break;
            }
            Process(bytes, got);
        }
        if (!stopped_) {
            Finish();
        }
        summary_.size = offset_;
        summary_.stopped = stopped_;
        return summary_;
    }

  private:
    void Process(const unsigned char* p, std::size_t n) {
        if (summary_.encoding == FileEncoding::Utf16Le) {
            ProcessUtf16(p, n);
        } else {
            Process8(p, n);
        }
        FlushText();
        if (lineOpen_ && !handler_.WantsRestOfLine()) {
            skipping_ = true;
        }
    }

    void Process8(const unsigned char* p, std::size_t n) {
        std::size_t i = 0;
        while (i < n && !stopped_) {
            if (!pendingCr_) {
                // Runs of plain text go in one sweep; the rest of a line after
                // a NUL is only stepped over.
                std::size_t j = i;
                if (skipping_) {
                    while (j < n && p[j] != '\r' && p[j] != '\n') {
                        ++j;
                    }
                } else {
                    while (j < n && p[j] != '\r' && p[j] != '\n' && p[j] != 0) {
                        ++j;
                    }
                    Decode(p + i, j - i);
                }
                if (j > i) {
                    lineOpen_ = true;
                    offset_ += j - i;
                    i = j;
                }
                if (i == n) {
                    break;
                }
            }
            Unit(p[i], 1);
            ++i;
        }
    }

    void Decode(const unsigned char* p, std::size_t n) {
        const std::size_t old = text_.size();
        if (summary_.encoding == FileEncoding::Utf8) {
            text_.resize(old + 2 * n);
            char16_t* out = text_.data() + old;
            for (std::size_t k = 0; k < n; ++k) {
                out = utf8_.Put(p[k], out);
            }
            text_.resize(static_cast<std::size_t>(out - text_.data()));
        } else {
            text_.resize(old + n);
            char16_t* out = text_.data() + old;
            for (std::size_t k = 0; k < n; ++k) {
                out[k] = cp1252_[p[k]];
            }
        }
    }

    void ProcessUtf16(const unsigned char* p, std::size_t n) {
        std::size_t i = 0;
        if (hasCarry_ && n > 0) {
            hasCarry_ = false;
            Unit(static_cast<char16_t>(carry_ | (p[0] << 8)), 2);
            i = 1;
        }
        for (; i + 1 < n && !stopped_; i += 2) {
            Unit(static_cast<char16_t>(p[i] | (p[i + 1] << 8)), 2);
        }
        if (i < n && !stopped_) {
            hasCarry_ = true;
            carry_ = p[i];
        }
    }

    void Unit(char16_t u, unsigned width) {
        const std::uint64_t at = offset_;
        offset_ += width;
        if (pendingCr_) {
            pendingCr_ = false;
            if (u == u'\n') {
                Close(crAt_, offset_, LineBreak::CrLf);
                return;
            }
            if (!Close(crAt_, at, LineBreak::Cr)) {
                return;
            }
        }
        lineOpen_ = true;
        switch (u) {
            case u'\r':
                EndText();
                pendingCr_ = true;
                crAt_ = at;
                return;
            case u'\n':
                EndText();
                Close(at, offset_, LineBreak::Lf);
                return;
            case 0:
                EndText();
                skipping_ = true;
                return;
            default:
                break;
        }
        if (skipping_) {
            return;
        }
        switch (summary_.encoding) {
            case FileEncoding::Windows1252:
                text_.push_back(cp1252_[u & 0xFF]);
                break;
            case FileEncoding::Utf8:
                utf8_.Put(static_cast<unsigned char>(u), text_);
                break;
            case FileEncoding::Utf16Le:
                text_.push_back(u);
                break;
        }
    }

    void Finish() {
        if (hasCarry_) {
            // A lone last byte of a UTF-16 file is no character.
            hasCarry_ = false;
            const std::uint64_t at = offset_;
            offset_ += 1;
            if (pendingCr_) {
                pendingCr_ = false;
                if (!Close(crAt_, at, LineBreak::Cr)) {
                    return;
                }
            }
            lineOpen_ = true;
            if (!skipping_) {
                text_.push_back(kReplacement);
            }
        }
        if (pendingCr_) {
            pendingCr_ = false;
            Close(crAt_, offset_, LineBreak::Cr);
            summary_.endsWithBreak = true;
        } else if (lineOpen_) {
            EndText();
            Close(offset_, offset_, LineBreak::None);
        } else {
            summary_.endsWithBreak = offset_ > summary_.textStart;
        }
    }

    void EndText() {
        utf8_.Flush(text_);
        FlushText();
    }

    void FlushText() {
        if (!text_.empty()) {
            handler_.Text(text_);
            text_.clear();
        }
    }

    bool Close(std::uint64_t breakAt, std::uint64_t next, LineBreak kind) {
        EndText();
        if (summary_.firstBreak == LineBreak::None) {
            summary_.firstBreak = kind;
        }
        const LineBounds bounds{lineBegin_, breakAt, next, kind};
        lineBegin_ = next;
        lineOpen_ = false;
        skipping_ = false;
        if (!handler_.EndLine(bounds)) {
            stopped_ = true;
        }
        return !stopped_;
    }

    ByteSource& source_;
    LineHandler& handler_;
    ScanSummary summary_;
    std::u16string text_;
    Utf8Decoder utf8_;
    std::array<char16_t, 256> cp1252_{};
    std::uint64_t offset_ = 0;
    std::uint64_t lineBegin_ = 0;
    std::uint64_t crAt_ = 0;
    bool pendingCr_ = false;
    bool lineOpen_ = false;
    bool skipping_ = false;
    bool stopped_ = false;
    bool hasCarry_ = false;
    unsigned char carry_ = 0;
};

}  // namespace

ScanSummary ScanLines(ByteSource& source, LineHandler& handler) {
    return Scanner(source, handler).Run();
}

}  // namespace trx::profile
