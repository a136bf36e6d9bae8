#include "combolist/VXComboDB.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "common/Text.h"

namespace trx {

namespace {

constexpr char16_t kSource[] = u"VXBComboServer";
constexpr std::int32_t kTimerArmed = 100;
constexpr std::int32_t kTimerStopped = 0;
constexpr std::int32_t kWaitStep = 1000;
constexpr std::int32_t kWaitLimit = 10000;

// Sets a guard flag for the length of a scope, however the scope ends.
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
};

// The database layer's error of one list, unchanged for the caller, with the
// list's name kept for the line a timer-started run writes.
class ListLoadError : public AutomationError {
  public:
    ListLoadError(std::u16string list, const AutomationError& cause)
        : AutomationError(cause), list_(std::move(list)) {}
    const std::u16string& List() const { return list_; }

  private:
    std::u16string list_;
};

std::string Hex(std::int32_t number) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(number));
    return text;
}

std::string OneLine(std::u16string_view text) {
    std::string line = ToUtf8(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return line;
}

}  // namespace

VXComboDB::VXComboDB(ConnectionFactory& database, TimerFactory& timers, Sleeper& sleeper,
                     std::ostream& errors)
    : database_(database), timerFactory_(timers), sleeper_(sleeper), errors_(errors) {}

VXComboDB::~VXComboDB() = default;

void VXComboDB::Init(std::int32_t /*pDmy*/) {
    m_Lists = std::make_unique<ListStore<std::shared_ptr<VXRSDesc>>>();
    m_Timer = timerFactory_.Create([this] { OnTimerTick(); });
    m_Timer->SetInterval(kTimerStopped);
    m_Ready = true;
}

void VXComboDB::AddComboList(const std::u16string& connectstring,
                             const std::u16string& tableorquery,
                             const std::u16string& columnvisible,
                             const std::u16string& columnItemData,
                             const std::u16string& wherepart) {
    RequireInit();
    FlagScope busy(m_Busy);
    m_Timer->SetInterval(kTimerStopped);
    if (m_Lists->Exists(tableorquery)) {
        return;  // a known name changes nothing and leaves the timer stopped
    }
    m_Ready = false;
    std::u16string sql =
        u"SELECT " + columnvisible + u"," + columnItemData + u" FROM " + tableorquery;
    if (wherepart.size() > 0) {
        sql += u" WHERE " + wherepart;
    }
    auto desc = std::make_shared<VXRSDesc>();
    desc->m_Connection = connectstring;
    desc->m_SQL = std::move(sql);
    desc->m_Refresh = true;
    m_Lists->Set(tableorquery, std::move(desc));
    m_Timer->SetInterval(kTimerArmed);
}

void VXComboDB::Refresh(const std::u16string& tableorquery) {
    RequireInit();
    FlagScope busy(m_Busy);
    m_Timer->SetInterval(kTimerStopped);
    if (!tableorquery.empty()) {
        std::shared_ptr<VXRSDesc>* desc = m_Lists->Find(tableorquery);
        if (desc == nullptr) {
            throw AutomationError(kErrComboNotDefined, kSource,
                                  u"Die Liste '" + tableorquery + u"' ist nicht definiert.");
        }
        (*desc)->m_Refresh = true;
    } else {
        for (const auto& desc : m_Lists->Items()) {
            desc->m_Refresh = true;
        }
    }
    m_Timer->SetInterval(kTimerArmed);
}

std::shared_ptr<const RecordSet> VXComboDB::ComboList(const std::u16string& tableorquery) {
    RequireInit();
    if (!m_Ready) {
        m_Timer_TimerTicked();
        // The sleep serves nothing else on this thread, so only the tick
        // handler calls made here can bring m_Ready.
        std::int32_t waited = 0;
        while (waited < kWaitLimit) {
            if (m_Ready) {
                break;
            }
            sleeper_.Sleep(kWaitStep);
            waited += kWaitStep;
            m_Timer_TimerTicked();
        }
        if (!m_Ready) {
            throw AutomationError(kErrComboTimeout, kSource,
                                  u"Es dauerte zu lange, bis die Aktion ausgeführt werden "
                                  u"konnte.");
        }
    }
    // An event handler may have called Init meanwhile; the store is then new.
    const std::shared_ptr<VXRSDesc>* desc = m_Lists->Find(tableorquery);
    return desc == nullptr ? nullptr : (*desc)->m_RS;
}

void VXComboDB::SetEvents(std::shared_ptr<VXComboDBEvents> events) {
    events_ = std::move(events);
}

std::unique_ptr<Connection> VXComboDB::OpenConnection(const std::u16string& connectstring) {
    return database_.Open(connectstring, u"", u"", -1);
}

void VXComboDB::m_Timer_TimerTicked() {
    if (m_Loading) {
        return;
    }
    FlagScope loading(m_Loading);
    LoadLists();
}

void VXComboDB::LoadLists() {
    if (m_Busy) {
        return;  // a definition change is under way; the timer ticks again
    }
    m_Timer->SetInterval(kTimerStopped);
    const std::vector<std::shared_ptr<VXRSDesc>> items = m_Lists->Items();
    const std::vector<std::u16string> keys = m_Lists->Keys();

    // The run's connection; closed however the run ends, so none outlives it.
    std::unique_ptr<Connection> connection;
    struct RunEnd {
        std::unique_ptr<Connection>& connection;
        std::u16string& currentConnect;
        ~RunEnd() {
            if (connection) {
                connection->Close();
                connection.reset();
            }
            currentConnect.clear();
        }
    } runEnd{connection, m_CurrentConnect};

    for (std::size_t i = 0; i < items.size(); ++i) {
        VXRSDesc& desc = *items[i];
        if (!desc.m_Refresh) {
            continue;
        }
        try {
            if (desc.m_Connection != m_CurrentConnect) {
                std::unique_ptr<Connection> next = OpenConnection(desc.m_Connection);
                if (connection) {
                    connection->Close();
                }
                connection = std::move(next);
                m_CurrentConnect = desc.m_Connection;
            }
            // The new record set takes the record's place only once it is
            // open: a failed load keeps the list's last good data.
            std::shared_ptr<const RecordSet> rs = trx::OpenRecordSet(connection.get(), desc.m_SQL);
            desc.m_RS = std::move(rs);
            desc.m_Refresh = false;
        } catch (const AutomationError& e) {
            throw ListLoadError(keys[i], e);
        }
        // The store's current key at this position; a handler's Init may have
        // emptied the store, and then the snapshot still names the list.
        RaiseDataSourceReady(i < m_Lists->Count() ? m_Lists->KeyAt(i) : keys[i]);
    }
    if (connection) {
        connection->Close();
        connection.reset();
    }
    m_CurrentConnect.clear();
    m_Ready = true;
    RaiseReady();
}

void VXComboDB::RequireInit() const {
    if (!m_Lists || !m_Timer) {
        throw AutomationError(kErrComboNotInitialized, kSource, u"Init wurde nicht aufgerufen.");
    }
}

void VXComboDB::OnTimerTick() {
    // A tick has no caller to take an error: write it down, keep serving.
    try {
        m_Timer_TimerTicked();
    } catch (const ListLoadError& e) {
        errors_ << "VXBCboSv: Die Liste '" << OneLine(e.List())
                << "' konnte nicht geladen werden: Fehler " << Hex(e.Number()) << " ("
                << OneLine(e.Source()) << "): " << OneLine(e.Description()) << '\n'
                << std::flush;
    } catch (const AutomationError& e) {
        errors_ << "VXBCboSv: Ladelauf fehlgeschlagen: Fehler " << Hex(e.Number()) << " ("
                << OneLine(e.Source()) << "): " << OneLine(e.Description()) << '\n'
                << std::flush;
    } catch (const std::exception& e) {
        errors_ << "VXBCboSv: Ladelauf fehlgeschlagen: " << OneLine(FromUtf8(e.what())) << '\n'
                << std::flush;
    }
}

// A handler's own failure is the client's affair and does not stop the run.
// The events object is held for the call: a handler may replace it.
void VXComboDB::RaiseDataSourceReady(const std::u16string& name) {
    if (const auto events = events_) {
        try {
            events->DataSourceReady(name);
        } catch (const std::exception&) {
        }
    }
}

void VXComboDB::RaiseReady() {
    if (const auto events = events_) {
        try {
            events->Ready();
        } catch (const std::exception&) {
        }
    }
}

}  // namespace trx
