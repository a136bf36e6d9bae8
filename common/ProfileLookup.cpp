#include "common/ProfileLookup.h"

#include "common/CodePage.h"
#include "common/ProfileLine.h"
#include "common/Text.h"

namespace trx::profile {

namespace {

class ValueFinder final : public LineHandler {
  public:
    ValueFinder(std::u16string_view section, std::u16string_view key)
        : classifier_(section, key), nameless_(section.empty()), inSection_(nameless_) {
        classifier_.WantValue(inSection_);
        classifier_.WantKeys(inSection_);
    }

    void Text(std::u16string_view piece) override { classifier_.Feed(piece); }
    bool WantsRestOfLine() const override { return !classifier_.Settled(); }

    bool EndLine(const LineBounds&) override {
        const LineFacts facts = classifier_.Facts();
        bool more = true;
        if (facts.kind == LineKind::Header) {
            if (inSection_) {
                more = false;  // later sections of the same name are not searched
            } else if (!nameless_ && facts.sectionMatches) {
                inSection_ = true;
            }
        } else if (inSection_ && facts.kind == LineKind::Key && facts.keyMatches) {
            value_ = std::u16string(facts.value);
            more = false;
        }
        classifier_.Reset();
        classifier_.WantValue(inSection_);
        // Outside the section only headers count: key lines settle at once.
        classifier_.WantKeys(inSection_);
        return more;
    }

    std::optional<std::u16string> value_;

  private:
    LineClassifier classifier_;
    bool nameless_;
    bool inSection_;
};

// Where a write goes.
struct WriteSpot {
    ScanSummary scan;
    bool sectionFound = false;
    std::optional<LineBounds> keyLine;  // the first line of the key in the section
    std::u16string fileKey;             // the key as that line spells it
    LineBounds lastFilled;              // the section's last line that is not blank
    bool lfAfterLastFilled = false;     // the line after it is an empty one ending in LF
};

class WriteLocator final : public LineHandler {
  public:
    WriteLocator(std::u16string_view section, std::u16string_view key)
        : classifier_(section, key) {}

    void Text(std::u16string_view piece) override { classifier_.Feed(piece); }
    bool WantsRestOfLine() const override { return !classifier_.Settled(); }

    bool EndLine(const LineBounds& bounds) override {
        const LineFacts facts = classifier_.Facts();
        if (afterLastFilled_) {
            spot_.lfAfterLastFilled =
                bounds.begin == bounds.breakAt && bounds.lineBreak == LineBreak::Lf;
        }
        afterLastFilled_ = false;
        bool more = true;
        if (facts.kind == LineKind::Header) {
            if (inSection_) {
                more = false;
            } else if (facts.sectionMatches) {
                inSection_ = true;
                spot_.sectionFound = true;
                Filled(bounds);
            }
        } else if (inSection_) {
            if (facts.kind == LineKind::Key && facts.keyMatches) {
                spot_.keyLine = bounds;
                spot_.fileKey = std::u16string(facts.fileKey);
                more = false;
            } else if (!facts.blank) {
                Filled(bounds);
            }
        }
        classifier_.Reset();
        return more;
    }

    WriteSpot spot_;

  private:
    void Filled(const LineBounds& bounds) {
        spot_.lastFilled = bounds;
        spot_.lfAfterLastFilled = false;
        afterLastFilled_ = true;
    }

    LineClassifier classifier_;
    bool inSection_ = false;
    bool afterLastFilled_ = false;
};

std::u16string LineBreakText(LineBreak lineBreak) {
    switch (lineBreak) {
        case LineBreak::Lf:
            return u"\n";
        case LineBreak::Cr:
            return u"\r";
        case LineBreak::CrLf:
        case LineBreak::None:
            break;
    }
    return u"\r\n";
}

std::string Encode(std::u16string_view text, FileEncoding encoding) {
    switch (encoding) {
        case FileEncoding::Utf8:
            return ToUtf8(text);
        case FileEncoding::Utf16Le: {
            std::string bytes;
            bytes.reserve(text.size() * 2);
            for (const char16_t c : text) {
                bytes.push_back(static_cast<char>(c & 0xFF));
                bytes.push_back(static_cast<char>(c >> 8));
            }
            return bytes;
        }
        case FileEncoding::Windows1252:
            break;
    }
    return EncodeWindows1252(text);
}

}  // namespace

std::optional<std::u16string> FindValue(ByteSource& source, std::u16string_view section,
                                        std::u16string_view key) {
    ValueFinder finder(section, key);
    ScanLines(source, finder);
    return finder.value_;
}

std::optional<FileEdit> PlanWrite(ByteSource& source, std::uint64_t size,
                                  std::u16string_view section, std::u16string_view key,
                                  std::u16string_view value) {
    WriteLocator locator(section, key);
    const ScanSummary scan = ScanLines(source, locator);
    const WriteSpot& spot = locator.spot_;
    // A lone last byte of UTF-16 would shift everything written after it.
    if (scan.readFailed || (scan.encoding == FileEncoding::Utf16Le && size % 2 != 0)) {
        return std::nullopt;
    }
    const std::u16string lineBreak = LineBreakText(scan.firstBreak);
    const std::u16string keyLine = std::u16string(key) + u"=" + std::u16string(value);
    FileEdit edit;
    std::u16string text;
    if (spot.keyLine) {
        edit.begin = spot.keyLine->begin;
        edit.end = spot.keyLine->breakAt;
        text = spot.fileKey + u"=" + std::u16string(value);
    } else if (spot.sectionFound) {
        const LineBounds& last = spot.lastFilled;
        edit.begin = edit.end = last.next;
        if (last.lineBreak == LineBreak::None) {
            text = lineBreak;
        }
        // A CR before the LF of the empty line that follows would join the two.
        text += keyLine + (lineBreak == u"\r" && spot.lfAfterLastFilled ? u"\r\n" : lineBreak);
    } else {
        // The scan went through to the end, so it knows how the file ends.
        edit.begin = edit.end = scan.size;
        if (scan.size > scan.textStart && !scan.endsWithBreak) {
            text = lineBreak;
        }
        text += u"[" + std::u16string(section) + u"]" + lineBreak + keyLine + lineBreak;
    }
    edit.bytes = Encode(text, scan.encoding);
    return edit;
}

}  // namespace trx::profile
