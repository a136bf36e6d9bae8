#include "common/ProfileLookup.h"

#include "common/ProfileLine.h"

namespace trx::profile {

namespace {

class ValueFinder final : public LineHandler {
  public:
    ValueFinder(std::u16string_view section, std::u16string_view key)
        : classifier_(section, key), nameless_(section.empty()), inSection_(nameless_) {
        classifier_.WantValue(inSection_);
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
        return more;
    }

    std::optional<std::u16string> value_;

  private:
    LineClassifier classifier_;
    bool nameless_;
    bool inSection_;
};

class WriteLocator final : public LineHandler {
  public:
    WriteLocator(std::u16string_view section, std::u16string_view key)
        : classifier_(section, key) {}

    void Text(std::u16string_view piece) override { classifier_.Feed(piece); }
    bool WantsRestOfLine() const override { return !classifier_.Settled(); }

    bool EndLine(const LineBounds& bounds) override {
        const LineFacts facts = classifier_.Facts();
        bool more = true;
        if (facts.kind == LineKind::Header) {
            if (inSection_) {
                more = false;
            } else if (facts.sectionMatches) {
                inSection_ = true;
                spot_.sectionFound = true;
                spot_.lastFilled = bounds;
            }
        } else if (inSection_) {
            if (facts.kind == LineKind::Key && facts.keyMatches) {
                spot_.keyLine = bounds;
                spot_.fileKey = std::u16string(facts.fileKey);
                more = false;
            } else if (!facts.blank) {
                spot_.lastFilled = bounds;
            }
        }
        classifier_.Reset();
        return more;
    }

    WriteSpot spot_;

  private:
    LineClassifier classifier_;
    bool inSection_ = false;
};

}  // namespace

std::optional<std::u16string> FindValue(ByteSource& source, std::u16string_view section,
                                        std::u16string_view key) {
    ValueFinder finder(section, key);
    ScanLines(source, finder);
    return finder.value_;
}

WriteSpot LocateWrite(ByteSource& source, std::u16string_view section, std::u16string_view key) {
    WriteLocator locator(section, key);
    const ScanSummary scan = ScanLines(source, locator);
    locator.spot_.scan = scan;
    return locator.spot_;
}

}  // namespace trx::profile
