#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "combolist/ListStore.h"
#include "combolist/VXComboDBEvents.h"
#include "combolist/VXRSDesc.h"
#include "platform/Database.h"
#include "platform/Sleep.h"
#include "platform/Timer.h"

namespace trx {

// Error numbers of the combo-list server (source "VXBComboServer").
inline constexpr std::int32_t kErrComboTimeout = static_cast<std::int32_t>(0x80041388u);
inline constexpr std::int32_t kErrComboNotDefined = static_cast<std::int32_t>(0x80041389u);
inline constexpr std::int32_t kErrComboNotInitialized = static_cast<std::int32_t>(0x8004138Au);

// Keeps named lists for combo boxes: each list is defined by a connect string,
// a table or query, two columns and a filter, loaded by a timer-driven load
// run (or at once when a client asks for a pending list) into a detached
// record set, and handed out by name. Runs on one thread; events are raised
// synchronously and their handlers may call back in.
class VXComboDB {
  public:
    // `errors` takes one line for each failed load run that the timer started,
    // which has no caller to report to.
    VXComboDB(ConnectionFactory& database, TimerFactory& timers, Sleeper& sleeper,
              std::ostream& errors);
    ~VXComboDB();
    VXComboDB(const VXComboDB&) = delete;
    VXComboDB& operator=(const VXComboDB&) = delete;

    void Init(std::int32_t pDmy);
    void AddComboList(const std::u16string& connectstring, const std::u16string& tableorquery,
                      const std::u16string& columnvisible, const std::u16string& columnItemData,
                      const std::u16string& wherepart = std::u16string());
    void Refresh(const std::u16string& tableorquery = std::u16string());
    // The list's record set as the store holds it; null for an unknown name or
    // a list no run has loaded yet.
    std::shared_ptr<const RecordSet> ComboList(const std::u16string& tableorquery);

    // Where the events go (none until set).
    void SetEvents(std::shared_ptr<VXComboDBEvents> events);

  private:
    std::unique_ptr<Connection> OpenConnection(const std::u16string& connectstring);
    void LoadLists();
    void m_Timer_TimerTicked();

    void RequireInit() const;
    void OnTimerTick();
    void RaiseDataSourceReady(const std::u16string& name);
    void RaiseReady();

    ConnectionFactory& database_;
    TimerFactory& timerFactory_;
    Sleeper& sleeper_;
    std::ostream& errors_;
    std::shared_ptr<VXComboDBEvents> events_;

    std::unique_ptr<ListStore<std::shared_ptr<VXRSDesc>>> m_Lists;
    bool m_Loading = false;
    bool m_Busy = false;
    bool m_Ready = false;
    std::u16string m_CurrentConnect;
    std::unique_ptr<Timer> m_Timer;
};

}  // namespace trx
