#include "common/ProfileLine.h"

#include <algorithm>
#include <utility>

namespace trx::profile {

namespace {

// Room for kMaxValueLength characters after an opening quote even when each
// of them takes two UTF-16 units.
constexpr std::size_t kValueKeep = 2 * (kMaxValueLength + 1);

char16_t FoldAscii(char16_t c) {
    return c >= u'a' && c <= u'z' ? c - (u'a' - u'A') : c;
}

bool IsQuote(char16_t c) {
    return c == u'"' || c == u'\'';
}

}  // namespace

bool IsBlankOrTab(char16_t c) {
    return c == u' ' || c == u'\t';
}

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f';
}

std::u16string_view TrimBlanksAndTabs(std::u16string_view text) {
    while (!text.empty() && IsBlankOrTab(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlankOrTab(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::u16string_view StripQuotePair(std::u16string_view text) {
    if (text.size() >= 2 && IsQuote(text.front()) && text.back() == text.front()) {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

NameMatcher::NameMatcher(std::u16string target, bool (*isSpace)(char16_t))
    : target_(std::move(target)), isSpace_(isSpace) {}

void NameMatcher::Put(char16_t c) {
    if (mismatch_) {
        return;
    }
    const bool space = isSpace_(c);
    if (!started_) {
        if (space) {
            return;
        }
        started_ = true;
    }
    if (count_ < target_.size()) {
        // A space here is either inside the name, and must match, or trailing,
        // and then the name is too short anyway.
        if (FoldAscii(c) != FoldAscii(target_[count_])) {
            mismatch_ = true;
            return;
        }
        spelling_.push_back(c);
    } else if (!space) {
        mismatch_ = true;
        return;
    }
    ++count_;
    if (!space) {
        length_ = count_;
    }
}

void NameMatcher::Reset() {
    spelling_.clear();
    count_ = 0;
    length_ = 0;
    started_ = false;
    mismatch_ = false;
}

LineClassifier::LineClassifier(std::u16string_view section, std::u16string_view key)
    : section_(std::u16string(section), IsBlankOrTab), key_(std::u16string(key), IsSpace) {}

void LineClassifier::Feed(std::u16string_view piece) {
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (value_.size() == kValueKeep && !headerCandidate_) {
            // Of a long value only its end is still of interest.
            PutValueTail(piece.substr(i));
            return;
        }
        if (Settled()) {
            return;
        }
        Put(piece[i]);
    }
}

bool LineClassifier::Settled() const {
    const bool keySettled = !wantKeys_ || (equals_ && !(keyMatched_ && wantValue_));
    // A header that matched at an earlier "]" may still lose the match at a later one.
    const bool headerSettled =
        !headerCandidate_ || (closed_ && section_.Mismatched() && !closedMatches_);
    return !leading_ && !blank_ && keySettled && headerSettled;
}

void LineClassifier::Put(char16_t c) {
    if (!IsSpace(c)) {
        blank_ = false;
    }
    if (leading_ && !IsBlankOrTab(c)) {
        leading_ = false;
        headerCandidate_ = c == u'[';
    } else if (headerCandidate_) {
        // Every "]" may be the last one; what comes after the last is ignored.
        if (c == u']') {
            closed_ = true;
            closedMatches_ = section_.Matches();
        }
        section_.Put(c);
    }
    if (!wantKeys_) {
        return;
    }
    if (!equals_) {
        if (c == u'=') {
            equals_ = true;
            keyMatched_ = key_.Matches();
        } else {
            key_.Put(c);
        }
    } else if (keyMatched_ && wantValue_) {
        PutValue(c);
    }
}

void LineClassifier::PutValue(char16_t c) {
    const bool space = IsSpace(c);
    if (!valueStarted_) {
        if (space) {
            return;
        }
        valueStarted_ = true;
    }
    if (value_.size() < kValueKeep) {
        value_.push_back(c);
    }
    ++valueCount_;
    if (!space) {
        valueLength_ = valueCount_;
        valueLast_ = c;
    }
}

void LineClassifier::PutValueTail(std::u16string_view rest) {
    for (std::size_t k = rest.size(); k > 0; --k) {
        if (!IsSpace(rest[k - 1])) {
            valueLength_ = valueCount_ + k;
            valueLast_ = rest[k - 1];
            break;
        }
    }
    valueCount_ += rest.size();
}

LineFacts LineClassifier::Facts() const {
    LineFacts facts;
    facts.blank = blank_;
    if (headerCandidate_ && closed_) {
        facts.kind = LineKind::Header;
        facts.sectionMatches = closedMatches_;
        return facts;
    }
    if (!equals_) {
        return facts;
    }
    facts.kind = LineKind::Key;
    facts.keyMatches = keyMatched_;
    if (!keyMatched_) {
        return facts;
    }
    facts.fileKey = key_.Spelling();
    if (wantValue_) {
        // The quote test needs the value's true last character, which may lie
        // far beyond what is kept of it.
        std::size_t start = 0;
        std::uint64_t length = valueLength_;
        if (valueLength_ >= 2 && IsQuote(value_[0]) && valueLast_ == value_[0]) {
            start = 1;
            length -= 2;
        }
        const auto kept = static_cast<std::uint64_t>(value_.size() - start);
        facts.value = std::u16string_view(value_).substr(
            start, static_cast<std::size_t>(std::min(length, kept)));
    }
    return facts;
}

void LineClassifier::Reset() {
    section_.Reset();
    key_.Reset();
    value_.clear();
    valueCount_ = 0;
    valueLength_ = 0;
    valueLast_ = 0;
    leading_ = true;
    headerCandidate_ = false;
    closed_ = false;
    closedMatches_ = false;
    equals_ = false;
    keyMatched_ = false;
    blank_ = true;
    valueStarted_ = false;
}

}  // namespace trx::profile
