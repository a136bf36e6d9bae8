#pragma once

// What one profile line means for a lookup of one section and one key. The
// line arrives in pieces and is never kept whole, so that a line of any
// length costs a bounded amount of memory. Internal to the profile routines.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trx::profile {

// The most characters that a value read back can have.
inline constexpr std::size_t kMaxValueLength = 2047;

// What stands around a section header and around the names asked for.
bool IsBlankOrTab(char16_t c);
// What stands around keys and values: also vertical tab and form feed, but not
// the no-break space.
bool IsSpace(char16_t c);

std::u16string_view TrimBlanksAndTabs(std::u16string_view text);

// A text of two or more characters that begins and ends with the same quote
// character (" or ') loses that one pair.
std::u16string_view StripQuotePair(std::u16string_view text);

// Compares a name that arrives one character at a time, without the white
// space around it, to a target, ASCII letters regardless of case. Keeps at
// most as many characters as the target has.
class NameMatcher {
  public:
    NameMatcher(std::u16string target, bool (*isSpace)(char16_t));

    void Put(char16_t c);
    void Reset();
    // For what has been put so far.
    bool Matches() const { return !mismatch_ && length_ == target_.size(); }
    // No more characters can make it match.
    bool Mismatched() const { return mismatch_; }
    // The name as it was put, valid when it matches.
    std::u16string_view Spelling() const { return spelling_; }

  private:
    std::u16string target_;
    bool (*isSpace_)(char16_t);
    std::u16string spelling_;
    std::uint64_t count_ = 0;   // characters since the first that is no space
    std::uint64_t length_ = 0;  // the same up to the last that is no space
    bool started_ = false;
    bool mismatch_ = false;
};

enum class LineKind { Other, Header, Key };

struct LineFacts {
    LineKind kind = LineKind::Other;
    bool blank = true;            // empty or white space only
    bool sectionMatches = false;  // a header that names the section looked for
    bool keyMatches = false;      // a key line of the key looked for
    std::u16string_view fileKey;  // the key as the file spells it, when it matches
    // The value without white space and quote pair around it, when it matches
    // and was asked for. Holds at least kMaxValueLength characters of it; a
    // few more may follow so that text beyond one byte per character fits.
    std::u16string_view value;
};

class LineClassifier {
  public:
    // `section` and `key` without blanks and tabs around them.
    LineClassifier(std::u16string_view section, std::u16string_view key);

    // Whether the value of a matching key is collected for the coming line.
    void WantValue(bool want) { wantValue_ = want; }
    // Whether key lines matter for the coming line. When they do not (a lookup
    // outside its section), a line settles as soon as it cannot be a header,
    // and a key line reads as Other.
    void WantKeys(bool want) { wantKeys_ = want; }
    void Feed(std::u16string_view piece);
    // Nothing more of the line can change its facts.
    bool Settled() const;
    // Valid until the next Feed or Reset.
    LineFacts Facts() const;
    // Makes ready for the next line.
    void Reset();

  private:
    void Put(char16_t c);
    void PutValue(char16_t c);
    void PutValueTail(std::u16string_view rest);

    NameMatcher section_;
    NameMatcher key_;
    std::u16string value_;
    std::uint64_t valueCount_ = 0;
    std::uint64_t valueLength_ = 0;  // up to its last character that is no space
    char16_t valueLast_ = 0;
    bool wantValue_ = false;
    bool wantKeys_ = true;
    bool leading_ = true;  // only blanks and tabs so far
    bool headerCandidate_ = false;
    bool closed_ = false;
    bool closedMatches_ = false;
    bool equals_ = false;
    bool keyMatched_ = false;
    bool blank_ = true;
    bool valueStarted_ = false;
};

}  // namespace trx::profile
