#include "combolist/VXComboDBClass.h"

#include "automation/ClassBuilder.h"
#include "automation/PostedTimer.h"
#include "combolist/VXComboDB.h"
#include "combolist/VXComboDBEvents.h"

#include <memory>

namespace trx {
namespace {

// Hands the object's events to its clients. The transport does not wait for
// the clients' handlers, so the run goes on at once.
class RaisedEvents final : public VXComboDBEvents {
  public:
    explicit RaisedEvents(EventRaiser raise) : raise_(std::move(raise)) {}
    void DataSourceReady(const std::u16string& name) override {
        Raise(raise_, u"DataSourceReady", name);
    }
    void Ready() override { Raise(raise_, u"Ready"); }

  private:
    EventRaiser raise_;
};

}  // namespace

ClassIdentity VXComboDBIdentity() {
    ClassIdentity identity;
    identity.className = u"VXComboDB";
    identity.classId = u"{E30D248C-D6B5-44A0-94B4-33E68C0162C1}";
    identity.interfaceId = u"{E49F6E01-BAB0-410A-AC1B-587F2CF98501}";
    identity.aliasName = u"VXComboDB___v0";
    identity.aliasId = u"{9EA79D08-7C56-4960-B12C-B334D97238B8}";
    identity.eventInterfaceId = u"{01A23D78-91D0-424B-B9C8-0B28B2E1C32B}";
    identity.typeLibrary = {u"VXBComboServer",
                            2,
                            0,
                            u"{FDBB223C-43A0-4BF3-B0D4-5FA488192DA0}",
                            u"Velmora Basis Server für Comboboxen",
                            u"1033"};
    identity.versionResource = {u"Quintaro", u"VXBComboServer", u"VXBCboSv", u"VXBCboSv.exe"};
    return identity;
}

ClassDescription VXComboDBShape() {
    const std::u16string empty;
    return ClassBuilder<VXComboDB>(VXComboDBIdentity())
        .Method<&VXComboDB::Init>(u"Init", 0x60030001, {u"pDmy"})
        .Method<&VXComboDB::AddComboList>(u"AddComboList", 0x60030003,
                                          {u"connectstring", u"tableorquery", u"columnvisible",
                                           u"columnItemData", Optional(u"wherepart", empty)})
        .Method<&VXComboDB::Refresh>(u"Refresh", 0x60030005, {Optional(u"tableorquery", empty)})
        .PropertyGet<&VXComboDB::ComboList>(u"ComboList", 0x68030000, {u"tableorquery"})
        .Event<std::u16string>(u"DataSourceReady", 1, {u"name"})
        .Event<>(u"Ready", 2)
        .Build();
}

ClassDescription VXComboDBClass(ConnectionFactory& database, TimerFactory& timers, Sleeper& sleeper,
                                std::ostream& errors, AutomationHost& host) {
    // A list loaded for a client that has gone is not worth finishing.
    database.SetKeepLoading([&host] { return host.CallerConnected(); });
    auto postedTimers = std::make_shared<PostedTimerFactory>(
        timers, [&host](std::function<void()> work) { host.Post(std::move(work)); });
    ClassDescription description = VXComboDBShape();
    description.create = ClassBuilder<VXComboDB>::Factory(
        [&database, &sleeper, &errors, postedTimers](const EventRaiser& raise) {
            auto object = std::make_unique<VXComboDB>(database, *postedTimers, sleeper, errors);
            object->SetEvents(std::make_shared<RaisedEvents>(raise));
            return object;
        });
    return description;
}

}  // namespace trx
