#include "combolist/com/RecordSetObject.h"

#include <oleauto.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "VXBComboServer.h"
#include "automation/com/ComValue.h"
#include "combolist/com/FieldsObject.h"
#include "combolist/com/RecordSetPart.h"

namespace trx {

namespace {

// AbsolutePosition away from a record (PositionEnum).
constexpr long kAdPosUnknown = -1;
constexpr long kAdPosBOF = -2;
constexpr long kAdPosEOF = -3;

// GetRows's dispatch identifier, as the interface's description gives it.
constexpr DISPID kDispidGetRows = 0xA;

// Filter without criteria (FilterGroupEnum).
constexpr long kAdFilterNone = 0;

// State (ObjectStateEnum).
constexpr long kAdStateClosed = 0;
constexpr long kAdStateOpen = 1;

class RecordSetObject final : public RecordSetPart<Recordset> {
  public:
    RecordSetObject(std::shared_ptr<const RecordSetTypes> types, RecordSetRef rows,
                    com::ComServer* server)
        : RecordSetPart(types, types->recordSet,
                        std::make_shared<com::RecordSetCursor>(std::move(rows)), server) {}

    HRESULT STDMETHODCALLTYPE get_Fields(IComboFields** Result) override {
        return Guarded([&] {
            if (Result == nullptr) {
                return E_POINTER;
            }
            Rows().Rows();
            auto* fields = new FieldsObject(Types(), SharedCursor(), Server());
            fields->AddRef();
            *Result = fields;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL* Result) override {
        return Guarded([&] { return Flag(Rows().Eof(), Result); });
    }
    HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL* Result) override {
        return Guarded([&] { return Flag(Rows().Bof(), Result); });
    }
    HRESULT STDMETHODCALLTYPE get_RecordCount(LONG* Result) override {
        return Guarded([&] { return PutLong(Rows().Count(), Result); });
    }
    // 1 for the first record; away from a record what ADO gives there.
    HRESULT STDMETHODCALLTYPE get_AbsolutePosition(LONG* Result) override {
        return Guarded([&] {
            com::RecordSetCursor& cursor = Rows();
            long position = cursor.Position() + 1;
            if (cursor.Count() == 0) {
                position = kAdPosUnknown;
            } else if (cursor.Bof()) {
                position = kAdPosBOF;
            } else if (cursor.Eof()) {
                position = kAdPosEOF;
            }
            return PutLong(position, Result);
        });
    }
    HRESULT STDMETHODCALLTYPE put_AbsolutePosition(LONG Position) override {
        return Guarded([&] {
            if (Position < 1 || Position > Rows().Count()) {
                throw AutomationError(com::kErrInvalidArgument, u"",
                                      u"Die Argumente sind vom falschen Typ, liegen außerhalb des "
                                      u"zulässigen Bereichs oder sind miteinander unvereinbar.");
            }
            Rows().MoveTo(Position - 1);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_State(LONG* Result) override {
        return Guarded([&] {
            long state = kAdStateOpen;
            try {
                Rows().Rows();
            } catch (const AutomationError&) {
                state = kAdStateClosed;
            }
            return PutLong(state, Result);
        });
    }
    HRESULT STDMETHODCALLTYPE MoveFirst() override {
        return Guarded([&] { return MoveToFirstOrLast(0); });
    }
    HRESULT STDMETHODCALLTYPE MoveLast() override {
        return Guarded([&] { return MoveToFirstOrLast(Rows().Count() - 1); });
    }
    // Past the last record lies EOF, before the first BOF; a step from
    // there is ADO's error 3021.
    HRESULT STDMETHODCALLTYPE MoveNext() override {
        return Guarded([&] {
            if (Rows().Eof()) {
                throw com::NoCurrentRecord();
            }
            Rows().MoveTo(Rows().Position() + 1);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE MovePrevious() override {
        return Guarded([&] {
            if (Rows().Bof()) {
                throw com::NoCurrentRecord();
            }
            Rows().MoveTo(Rows().Position() - 1);
            return S_OK;
        });
    }
    // The records from Start on (the current one unless given; Rows of
    // them, or all with -1) in one array of fields x records, as ADO's
    // GetRows, of the fields given (a name, a position or an array of them;
    // all unless given). The cursor moves past the last record given.
    HRESULT STDMETHODCALLTYPE GetRows(LONG Rows_, VARIANT Start, VARIANT Fields,
                                      VARIANT* Result) override {
        return Guarded([&] {
            if (Result == nullptr) {
                return E_POINTER;
            }
            VariantInit(Result);
            com::RecordSetCursor& cursor = Rows();
            const std::size_t first = Record(StartOf(Start));
            const std::vector<std::size_t> columns = ColumnsOf(Fields);
            const std::size_t left = static_cast<std::size_t>(cursor.Count()) - first;
            const std::size_t count =
                Rows_ < 0 ? left : std::min(left, static_cast<std::size_t>(Rows_));
            const std::size_t fields = columns.size();
            SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(fields), 0},
                                        {static_cast<ULONG>(count), 0}};
            SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
            if (array == nullptr) {
                return E_OUTOFMEMORY;
            }
            VARIANT* cells = nullptr;
            SafeArrayAccessData(array, reinterpret_cast<void**>(&cells));
            HRESULT filled = S_OK;
            // The first index (the field) varies fastest.
            for (std::size_t r = 0; r < count && SUCCEEDED(filled); ++r) {
                for (std::size_t c = 0; c < fields && SUCCEEDED(filled); ++c) {
                    filled = cursor.ToVariant(cursor.RecordAt(static_cast<long>(first + r)),
                                              columns[c], &cells[r * fields + c]);
                }
            }
            SafeArrayUnaccessData(array);
            if (FAILED(filled)) {
                SafeArrayDestroy(array);
                return filled;
            }
            V_VT(Result) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(Result) = array;
            cursor.MoveTo(static_cast<long>(first + count));
            return S_OK;
        });
    }
    // NumRecords records on from Start (the current record unless given);
    // beyond the ends the cursor stands at BOF or EOF. A step on from BOF or
    // EOF the way it faces is error 3021, as in ADO.
    HRESULT STDMETHODCALLTYPE Move(LONG NumRecords, VARIANT Start) override {
        return Guarded([&] {
            com::RecordSetCursor& cursor = Rows();
            long from = cursor.Position();
            if (Missing(Start)) {
                if ((NumRecords <= 0 && cursor.Bof()) || (NumRecords >= 0 && cursor.Eof())) {
                    throw com::NoCurrentRecord();
                }
            } else {
                from = StartOf(Start);
            }
            const long to = from + NumRecords;
            cursor.MoveTo(std::clamp(to, -1L, cursor.Count()));
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Bookmark(VARIANT* Result) override {
        return Guarded([&] {
            if (Result == nullptr) {
                return E_POINTER;
            }
            const double bookmark = Rows().Bookmark();
            VariantInit(Result);
            V_VT(Result) = VT_R8;
            V_R8(Result) = bookmark;
            return S_OK;
        });
    }
    // Only a bookmark that this record set gave (or a clone of it).
    HRESULT STDMETHODCALLTYPE put_Bookmark(VARIANT Bookmark) override {
        return Guarded([&] {
            VARIANT* given = &Bookmark;
            while (V_VT(given) == (VT_VARIANT | VT_BYREF)) {
                given = V_VARIANTREF(given);
            }
            if (V_VT(given) != VT_R8 && V_VT(given) != (VT_R8 | VT_BYREF)) {
                throw com::InvalidArgument();
            }
            Rows().MoveTo(Rows().PositionOf(*given));
            return S_OK;
        });
    }
    // Another record set over the same rows, with a cursor of its own on the
    // first record; its bookmarks are this one's. Read-only either way.
    HRESULT STDMETHODCALLTYPE Clone(LONG LockType, Recordset** Result) override {
        return Guarded([&] {
            constexpr long kAdLockUnspecified = -1;
            constexpr long kAdLockReadOnly = 1;
            if (Result == nullptr) {
                return E_POINTER;
            }
            *Result = nullptr;
            if (LockType != kAdLockUnspecified && LockType != kAdLockReadOnly) {
                throw com::InvalidArgument();
            }
            auto* clone = new RecordSetObject(Types(), Rows().SharedRows(), Server());
            clone->AddRef();
            *Result = clone;
            return S_OK;
        });
    }
    // True when the record set does all that is asked (CursorOptionEnum):
    // hold its records, move back, bookmarks and positions; no changes.
    HRESULT STDMETHODCALLTYPE Supports(LONG CursorOptions, VARIANT_BOOL* Result) override {
        return Guarded([&] {
            constexpr long kAdHoldRecords = 0x100;
            constexpr long kAdMovePrevious = 0x200;
            constexpr long kAdBookmark = 0x2000;
            constexpr long kAdApproxPosition = 0x4000;
            constexpr long kSupported =
                kAdHoldRecords | kAdMovePrevious | kAdBookmark | kAdApproxPosition;
            Rows().Rows();
            return Flag((CursorOptions & ~kSupported) == 0, Result);
        });
    }
    // The records from the current one on (NumRows of them, or all with -1)
    // as text, as ADO's GetString in its one format (adClipString): each
    // value as text, NULL as NullExpr, values separated by ColumnDelimiter
    // (a tab unless given), each record ended by RowDelimiter (a carriage
    // return unless given). The cursor moves past the last record given.
    HRESULT STDMETHODCALLTYPE GetString(LONG StringFormat, LONG NumRows, VARIANT ColumnDelimiter,
                                        VARIANT RowDelimiter, VARIANT NullExpr,
                                        BSTR* Result) override {
        return Guarded([&] {
            constexpr long kAdClipString = 2;
            if (Result == nullptr) {
                return E_POINTER;
            }
            *Result = nullptr;
            if (StringFormat != kAdClipString) {
                throw com::InvalidArgument();
            }
            const std::u16string columnEnd = TextOf(ColumnDelimiter, u"\t");
            const std::u16string rowEnd = TextOf(RowDelimiter, u"\r");
            const std::u16string null = TextOf(NullExpr, u"");
            com::RecordSetCursor& cursor = Rows();
            const std::size_t first = Record(cursor.Position());
            const std::size_t left = static_cast<std::size_t>(cursor.Count()) - first;
            const std::size_t count =
                NumRows < 0 ? left : std::min(left, static_cast<std::size_t>(NumRows));
            const std::size_t fields = cursor.Rows().FieldCount();
            std::u16string text;
            for (std::size_t at = first; at < first + count; ++at) {
                const std::size_t r = cursor.RecordAt(static_cast<long>(at));
                for (std::size_t c = 0; c < fields; ++c) {
                    if (c > 0) {
                        text += columnEnd;
                    }
                    VARIANT value;
                    HRESULT made = cursor.ToVariant(r, c, &value);
                    if (SUCCEEDED(made) && V_VT(&value) == VT_NULL) {
                        text += null;
                    } else if (SUCCEEDED(made)) {
                        made = VariantChangeType(&value, &value, 0, VT_BSTR);
                        if (SUCCEEDED(made)) {
                            text += com::FromBstr(V_BSTR(&value));
                        }
                    }
                    VariantClear(&value);
                    if (FAILED(made)) {
                        return made;
                    }
                }
                text += rowEnd;
            }
            cursor.MoveTo(static_cast<long>(first + count));
            return com::Store(Value(text), Result);
        });
    }
    // The sort order of this record set alone; another copy of the list
    // keeps its own.
    HRESULT STDMETHODCALLTYPE get_Sort(BSTR* Result) override {
        return Guarded([&] {
            Rows().Rows();
            return com::Store(Value(Rows().Sort()), Result);
        });
    }
    HRESULT STDMETHODCALLTYPE put_Sort(BSTR Sort) override {
        return Guarded([&] {
            Rows().SetSort(com::FromBstr(Sort));
            return S_OK;
        });
    }
    // The filter: criteria as text, adFilterNone (0), or the bookmarks of
    // the records to keep, as an array.
    HRESULT STDMETHODCALLTYPE get_Filter(VARIANT* Result) override {
        return Guarded([&] {
            if (Result == nullptr) {
                return E_POINTER;
            }
            VariantInit(Result);
            com::RecordSetCursor& cursor = Rows();
            if (!cursor.FilterText().empty()) {
                V_VT(Result) = VT_BSTR;
                V_BSTR(Result) = com::ToBstr(cursor.FilterText());
                return V_BSTR(Result) == nullptr ? E_OUTOFMEMORY : S_OK;
            }
            const std::vector<std::size_t>& records = cursor.FilterRecords();
            if (records.empty()) {
                V_VT(Result) = VT_I4;
                V_I4(Result) = kAdFilterNone;
                return S_OK;
            }
            SAFEARRAY* array =
                SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(records.size()));
            if (array == nullptr) {
                return E_OUTOFMEMORY;
            }
            VARIANT* items = nullptr;
            SafeArrayAccessData(array, reinterpret_cast<void**>(&items));
            for (std::size_t i = 0; i < records.size(); ++i) {
                V_VT(&items[i]) = VT_R8;
                V_R8(&items[i]) = static_cast<double>(records[i]) + 1;
            }
            SafeArrayUnaccessData(array);
            V_VT(Result) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(Result) = array;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE put_Filter(VARIANT Criteria) override {
        return Guarded([&] {
            com::RecordSetCursor& cursor = Rows();
            const VARIANT* given = &Criteria;
            while (V_VT(given) == (VT_VARIANT | VT_BYREF)) {
                given = V_VARIANTREF(given);
            }
            if (V_VT(given) == VT_BSTR) {
                cursor.SetFilter(com::FromBstr(V_BSTR(given)));
            } else if ((V_VT(given) & VT_ARRAY) != 0) {
                cursor.SetFilter(BookmarksOf(*given));
            } else {
                // adFilterNone, or adFilterFetchedRecords: here every record.
                constexpr long kAdFilterFetchedRecords = 3;
                VARIANT number;
                VariantInit(&number);
                if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(given), 0, VT_I4)) ||
                    (V_I4(&number) != kAdFilterNone && V_I4(&number) != kAdFilterFetchedRecords)) {
                    throw com::InvalidArgument();
                }
                cursor.SetFilter(std::u16string());
            }
            return S_OK;
        });
    }
    // The next record from Start (the current one unless given), SkipRecords
    // on, forward (1) or backward (-1), that meets one criterion; none found
    // leaves the cursor at EOF or BOF.
    HRESULT STDMETHODCALLTYPE Find(BSTR Criteria, LONG SkipRecords, LONG SearchDirection,
                                   VARIANT Start) override {
        return Guarded([&] {
            constexpr long kAdSearchForward = 1;
            constexpr long kAdSearchBackward = -1;
            if (SearchDirection != kAdSearchForward && SearchDirection != kAdSearchBackward) {
                throw com::InvalidArgument();
            }
            com::RecordSetCursor& cursor = Rows();
            long from = cursor.Position();
            if (Missing(Start)) {
                Record(from);
            } else {
                from = StartOf(Start);
            }
            const long step = SearchDirection == kAdSearchForward ? SkipRecords : -SkipRecords;
            const long to = std::clamp(from + step, -1L, cursor.Count());
            cursor.MoveTo(
                cursor.Find(com::FromBstr(Criteria), to, SearchDirection == kAdSearchForward));
            return S_OK;
        });
    }
    // The record set is read-only: what would change it fails as on a
    // read-only ADO record set, after the checks for a closed one.
    HRESULT STDMETHODCALLTYPE AddNew(VARIANT, VARIANT) override { return ReadOnly(); }
    HRESULT STDMETHODCALLTYPE Update(VARIANT, VARIANT) override { return ReadOnly(); }
    HRESULT STDMETHODCALLTYPE Delete(LONG) override { return ReadOnly(); }
    HRESULT STDMETHODCALLTYPE CancelUpdate() override { return ReadOnly(); }
    HRESULT STDMETHODCALLTYPE UpdateBatch(LONG) override { return ReadOnly(); }
    // Closes this cursor alone: the list's rows stay in the server for the
    // next ComboList.
    HRESULT STDMETHODCALLTYPE Close() override {
        return Guarded([&] {
            Rows().Close();
            return S_OK;
        });
    }

  protected:
    // rs(0) and rs("Nr"): arguments to the default member Fields go on to
    // the default member of the fields, Item (and rs("Nr") = x to its put,
    // which refuses it). Fields is read as any late-bound call reads it, so
    // that its failure (a closed record set) reaches the client as an
    // exception with number, source and text.
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* badArgument) override {
        // GetRows answers here rather than through the type information,
        // whose Invoke would copy the returned array whole: every value once
        // more, 20,000 of them for 10,000 records of two fields.
        if (id == kDispidGetRows && params != nullptr && params->cNamedArgs == 0 &&
            params->cArgs <= 3 && (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0) {
            return InvokeGetRows(*params, result, exception, badArgument);
        }
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        if (id != DISPID_VALUE || params == nullptr || params->cArgs <= (put ? 1U : 0U)) {
            return RecordSetPart::InvokeMember(id, flags, params, result, exception, badArgument);
        }
        DISPPARAMS none{};
        VARIANT fields;
        VariantInit(&fields);
        HRESULT invoked = RecordSetPart::InvokeMember(DISPID_VALUE, DISPATCH_PROPERTYGET, &none,
                                                      &fields, exception, badArgument);
        if (SUCCEEDED(invoked)) {
            invoked = VariantChangeType(&fields, &fields, 0, VT_DISPATCH);
        }
        if (SUCCEEDED(invoked) && V_DISPATCH(&fields) != nullptr) {
            invoked = V_DISPATCH(&fields)->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT,
                                                  flags, params, result, exception, badArgument);
        } else if (SUCCEEDED(invoked)) {
            invoked = E_UNEXPECTED;
        }
        VariantClear(&fields);
        return invoked;
    }

  private:
    // GetRows([Rows [, Start [, Fields]]]) called late-bound, its array
    // stored straight into the caller's result.
    HRESULT InvokeGetRows(const DISPPARAMS& params, VARIANT* result, EXCEPINFO* exception,
                          UINT* badArgument) {
        // The arguments come last to first; one left out is DISP_E_PARAMNOTFOUND.
        VARIANT missing;
        VariantInit(&missing);
        V_VT(&missing) = VT_ERROR;
        V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
        const auto argument = [&](UINT i) {
            return i < params.cArgs ? params.rgvarg[params.cArgs - 1 - i] : missing;
        };
        LONG rows = -1;
        VARIANT given = argument(0);
        if (!Missing(given)) {
            VARIANT count;
            VariantInit(&count);
            if (const HRESULT converted = VariantChangeType(&count, &given, 0, VT_I4);
                FAILED(converted)) {
                if (badArgument != nullptr) {
                    *badArgument = params.cArgs - 1;
                }
                return converted;
            }
            rows = V_I4(&count);
        }
        VARIANT discarded;
        VariantInit(&discarded);
        const HRESULT got =
            GetRows(rows, argument(1), argument(2), result != nullptr ? result : &discarded);
        VariantClear(&discarded);
        return SUCCEEDED(got) ? got : AsException(got, exception);
    }
    // An optional argument that the caller left out.
    static bool Missing(const VARIANT& given) {
        return V_VT(&given) == VT_EMPTY ||
               (V_VT(&given) == VT_ERROR && V_ERROR(&given) == DISP_E_PARAMNOTFOUND);
    }
    // Where an optional Start points: the current position unless given.
    long StartOf(const VARIANT& start) const {
        return Missing(start) ? Rows().Position() : Rows().PositionOf(start);
    }
    // The record at a position; error 3021 at BOF or EOF.
    std::size_t Record(long position) const {
        if (position < 0 || position >= Rows().Count()) {
            throw com::NoCurrentRecord();
        }
        return static_cast<std::size_t>(position);
    }
    // The columns that GetRows's Fields names: all when left out.
    std::vector<std::size_t> ColumnsOf(const VARIANT& fields) const {
        const com::RecordSetCursor& cursor = Rows();
        std::vector<std::size_t> columns;
        const VARIANT* given = &fields;
        while (V_VT(given) == (VT_VARIANT | VT_BYREF)) {
            given = V_VARIANTREF(given);
        }
        if (Missing(*given)) {
            for (std::size_t c = 0; c < cursor.Rows().FieldCount(); ++c) {
                columns.push_back(c);
            }
        } else if ((V_VT(given) & VT_ARRAY) != 0) {
            SAFEARRAY* array = (V_VT(given) & VT_BYREF) != 0 ? *V_ARRAYREF(given) : V_ARRAY(given);
            const VARTYPE type = V_VT(given) & VT_TYPEMASK;
            LONG low = 0;
            LONG high = -1;
            if (array == nullptr || SafeArrayGetDim(array) != 1 ||
                (type != VT_VARIANT && type != VT_BSTR)) {
                throw com::InvalidArgument();
            }
            SafeArrayGetLBound(array, 1, &low);
            SafeArrayGetUBound(array, 1, &high);
            for (LONG i = low; i <= high; ++i) {
                VARIANT item;
                VariantInit(&item);
                if (type == VT_VARIANT) {
                    SafeArrayGetElement(array, &i, &item);
                } else {
                    V_VT(&item) = VT_BSTR;
                    SafeArrayGetElement(array, &i, &V_BSTR(&item));
                }
                try {
                    columns.push_back(cursor.ColumnOf(item));
                } catch (...) {
                    VariantClear(&item);
                    throw;
                }
                VariantClear(&item);
            }
        } else {
            columns.push_back(cursor.ColumnOf(*given));
        }
        return columns;
    }
    // The records of an array of bookmarks.
    std::vector<std::size_t> BookmarksOf(const VARIANT& given) const {
        SAFEARRAY* array = (V_VT(&given) & VT_BYREF) != 0 ? *V_ARRAYREF(&given) : V_ARRAY(&given);
        LONG low = 0;
        LONG high = -1;
        if (array == nullptr || SafeArrayGetDim(array) != 1 ||
            (V_VT(&given) & VT_TYPEMASK) != VT_VARIANT) {
            throw com::InvalidArgument();
        }
        SafeArrayGetLBound(array, 1, &low);
        SafeArrayGetUBound(array, 1, &high);
        std::vector<std::size_t> records;
        for (LONG i = low; i <= high; ++i) {
            VARIANT item;
            VariantInit(&item);
            SafeArrayGetElement(array, &i, &item);
            const bool bookmark = V_VT(&item) == VT_R8;
            const double number = bookmark ? V_R8(&item) : 0;
            VariantClear(&item);
            if (!bookmark || number < 1 || number != std::floor(number)) {
                throw com::InvalidArgument();
            }
            records.push_back(static_cast<std::size_t>(number) - 1);
        }
        if (records.empty()) {
            throw com::InvalidArgument();
        }
        return records;
    }
    // An optional text argument, or its default when left out.
    static std::u16string TextOf(const VARIANT& given, std::u16string_view fallback) {
        if (Missing(given)) {
            return std::u16string(fallback);
        }
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&given), 0, VT_BSTR))) {
            throw com::InvalidArgument();
        }
        std::u16string out = com::FromBstr(V_BSTR(&text));
        VariantClear(&text);
        return out;
    }
    HRESULT MoveToFirstOrLast(long position) {
        com::RecordSetCursor& cursor = Rows();
        if (cursor.Count() == 0) {
            throw com::NoCurrentRecord();
        }
        cursor.MoveTo(position);
        return S_OK;
    }
    static HRESULT Flag(bool value, VARIANT_BOOL* out) {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
};

}  // namespace

IDispatch* MakeRecordSetObject(std::shared_ptr<const RecordSetTypes> types, RecordSetRef rows,
                               com::ComServer* server) {
    if (!types || !types->Complete() || !rows) {
        return nullptr;
    }
    auto* object = new (std::nothrow) RecordSetObject(std::move(types), std::move(rows), server);
    if (object == nullptr) {
        return nullptr;
    }
    object->AddRef();
    return object;
}

}  // namespace trx
