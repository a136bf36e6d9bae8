#include "automation/dbus/AutomationClient.h"
#include "automation/dbus/RecordSetWire.h"
#include "common/AutomationError.h"
#include "platform/qt/QtText.h"
#include "tests/support/PrivateBus.h"

#include "tests/support/RecordSetRows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trx {
namespace {

using namespace std::chrono_literals;
using test::RunProgram;

const QString kProgId = QStringLiteral("VXBComboServer.VXComboDB");

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

// The rows of a two-column list as "visible|itemdata" lines.
using trx::test::Rows;

// VXBCboSv registered with /RegServer on a private bus, and the example
// database made from its SQL in the test's folder.
class ComboServerBusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto program = test::CopyProgram(TRX_VXBCBOSV, bus_.Root() / "bin");
        const auto registered =
            RunProgram(QString::fromStdString(program.string()), {QStringLiteral("/RegServer")});
        ASSERT_EQ(registered.exitCode, 0) << registered.err.toStdString();
        db_ = QString::fromStdString((bus_.Root() / "combolists.db").string());
        const auto made = RunProgram(QStringLiteral(TRX_MAKE_EXAMPLE_DB), {db_});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        connect_ = QStringLiteral("Driver=SQLite3;Database=") + db_;
    }

    void Sql(const QString& statement) {
        const auto done = RunProgram(QStringLiteral("sqlite3"), {db_, statement});
        ASSERT_EQ(done.exitCode, 0) << done.err.toStdString();
    }

    AutomationObject Create() {
        AutomationObject object = client_.Create(kProgId);
        object.OnEvent(QStringLiteral("DataSourceReady"), [this](const QVariantList& args) {
            events_.push_back("DataSourceReady " + args.value(0).toString().toStdString());
        });
        object.OnEvent(QStringLiteral("Ready"),
                       [this](const QVariantList&) { events_.push_back("Ready"); });
        return object;
    }

    static std::shared_ptr<const RecordSet> List(const AutomationObject& object,
                                                 const QString& name) {
        const QVariantList results = object.CallForResults(QStringLiteral("ComboList"), {name});
        EXPECT_EQ(results.size(), 2);
        return DecodeRecordSet(results.value(0), results.value(1));
    }

    void AddLists(const AutomationObject& db) {
        db.Call(QStringLiteral("Init"), {0});
        db.Call(QStringLiteral("AddComboList"),
                {connect_, QStringLiteral("Kunden"), QStringLiteral("Name"), QStringLiteral("Nr"),
                 QStringLiteral("Aktiv=1")});
        db.Call(QStringLiteral("AddComboList"),
                {connect_, QStringLiteral("Zahlungsarten"), QStringLiteral("Bezeichnung"),
                 QStringLiteral("Kuerzel")});
    }

    bool WaitForEvents(std::size_t count) {
        return test::WaitUntil([&] { return events_.size() >= count; }, 10s);
    }

    test::PrivateBus bus_;
    AutomationClient client_{bus_.Connection()};
    QString db_;
    QString connect_;
    std::vector<std::string> events_;
};

TEST_F(ComboServerBusTest, ComboListOfAPendingListLoadsAtOnceAndSignalsInDefinitionOrder) {
    AutomationObject db = Create();
    AddLists(db);
    const auto kunden = List(db, QStringLiteral("Kunden"));
    ASSERT_NE(kunden, nullptr);
    ASSERT_EQ(kunden->FieldCount(), 2u);
    EXPECT_EQ(kunden->FieldAt(0).name, u"Name");
    EXPECT_EQ(kunden->FieldAt(0).type, FieldType::Text);
    EXPECT_EQ(kunden->FieldAt(1).name, u"Nr");
    EXPECT_EQ(kunden->FieldAt(1).type, FieldType::Integer);
    EXPECT_EQ(Rows(kunden),
              (std::vector<std::string>{"Bäckerei Öztürk|1001", "Müller & Söhne|1002",
                                        "Zahnarztpraxis Dr. Łukasz|1004", "Café Åkesson|1005"}));
    EXPECT_EQ(Rows(List(db, QStringLiteral("Zahlungsarten"))).size(), 4u);

    ASSERT_TRUE(WaitForEvents(3));
    EXPECT_EQ(events_, (std::vector<std::string>{"DataSourceReady Kunden",
                                                 "DataSourceReady Zahlungsarten", "Ready"}));
    db.Release();
}

TEST_F(ComboServerBusTest, TimerLoadsTheListsBetweenCallsAndSignalsReady) {
    AutomationObject db = Create();
    AddLists(db);
    // No ComboList: the timer's tick runs the load on its own.
    ASSERT_TRUE(WaitForEvents(3));
    EXPECT_EQ(events_.back(), "Ready");
    EXPECT_EQ(Rows(List(db, QStringLiteral("Kunden"))).size(), 4u);
    db.Release();
}

TEST_F(ComboServerBusTest, RefreshDeliversThePreviousRowsUntilTheNextRunThenTheNewOnes) {
    AutomationObject db = Create();
    AddLists(db);
    ASSERT_TRUE(WaitForEvents(3));
    Sql(Q("UPDATE Kunden SET Name='Bäckerei Öztürk GmbH' WHERE Nr=1001"));
    db.Call(QStringLiteral("Refresh"), {QStringLiteral("Kunden")});
    EXPECT_EQ(Rows(List(db, QStringLiteral("Kunden"))).front(), "Bäckerei Öztürk|1001");
    ASSERT_TRUE(WaitForEvents(5));
    EXPECT_EQ(events_[3], "DataSourceReady Kunden");
    EXPECT_EQ(events_[4], "Ready");
    EXPECT_EQ(Rows(List(db, QStringLiteral("Kunden"))).front(), "Bäckerei Öztürk GmbH|1001");
    db.Release();
}

TEST_F(ComboServerBusTest, AFailingListReportsTheDatabaseErrorAsAnAutomationError) {
    AutomationObject db = Create();
    db.Call(QStringLiteral("Init"), {0});
    db.Call(QStringLiteral("AddComboList"),
            {connect_, QStringLiteral("Kunden"), QStringLiteral("Nummer"), QStringLiteral("Nr")});
    try {
        List(db, QStringLiteral("Kunden"));
        FAIL() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(static_cast<std::uint32_t>(error.Number()), 0x80004005u);
        EXPECT_EQ(error.Source(), u"ODBC");
        EXPECT_NE(ToQString(error.Description()).indexOf(QStringLiteral("no such column")), -1)
            << ToQString(error.Description()).toStdString();
    }
    // The list stays pending: the next ComboList tries again and fails again.
    EXPECT_THROW(List(db, QStringLiteral("Nie")), AutomationError);
    // The object goes on serving: after a new Init nothing is pending.
    db.Call(QStringLiteral("Init"), {0});
    EXPECT_EQ(List(db, QStringLiteral("Nie")), nullptr);
    db.Release();
}

TEST_F(ComboServerBusTest, ANameNeverDefinedIsNothingWithoutError) {
    AutomationObject db = Create();
    db.Call(QStringLiteral("Init"), {0});
    EXPECT_EQ(List(db, QStringLiteral("Nie")), nullptr);
    db.Release();
    // On the wire: no fields and no rows. The object belongs to the gdbus
    // connections that create and then adopt it.
    const auto created = test::GdbusCall(
        kProgId, QStringLiteral("/"), QStringLiteral("TRX.Automation.ClassFactory.CreateInstance"));
    const QString path = created.out.section(u'\'', 1, 1);
    test::GdbusCall(kProgId, path, QStringLiteral("VXBComboServer._VXComboDB.Init"),
                    {QStringLiteral("0")});
    const auto shown =
        test::GdbusCall(kProgId, path, QStringLiteral("VXBComboServer._VXComboDB.ComboList"),
                        {QStringLiteral("Nie")});
    EXPECT_EQ(shown.out.trimmed(), QStringLiteral("(@a(ss) [], @aav [])"))
        << shown.err.toStdString();
    test::GdbusCall(kProgId, path, QStringLiteral("TRX.Automation.Object.Release"));
}

TEST_F(ComboServerBusTest, CallsBeforeInitFailWithTheServersError) {
    AutomationObject db = Create();
    struct Case {
        const char* method;
        QVariantList args;
    } cases[] = {
        {"AddComboList", {connect_, Q("Kunden"), Q("Name"), Q("Nr")}},
        {"Refresh", {}},
        {"ComboList", {Q("Kunden")}},
    };
    for (const auto& c : cases) {
        try {
            db.CallForResults(Q(c.method), c.args);
            ADD_FAILURE() << c.method << ": no error";
        } catch (const AutomationError& error) {
            EXPECT_EQ(static_cast<std::uint32_t>(error.Number()), 0x8004138Au) << c.method;
            EXPECT_EQ(error.Source(), u"VXBComboServer") << c.method;
        }
    }
    db.Release();
}

TEST_F(ComboServerBusTest, IntrospectionCarriesTheDispatchIdsAndTheTypeLibrary) {
    AutomationObject db = Create();
    const auto object = RunProgram(
        QStringLiteral("gdbus"),
        {QStringLiteral("introspect"), QStringLiteral("--session"), QStringLiteral("--dest"),
         kProgId, QStringLiteral("--object-path"), db.Path(), QStringLiteral("--xml")});
    const QString xml = object.out;
    for (const char* expected : {
             R"(<method name="Init">)",
             R"(name="TRX.Automation.DispId" value="0x60030001")",
             R"(name="TRX.Automation.DispId" value="0x60030003")",
             R"(name="TRX.Automation.DispId" value="0x60030005")",
             R"(name="TRX.Automation.DispId" value="0x68030000")",
             R"x(<arg name="fields" type="a(ss)" direction="out"/>)x",
             R"(<arg name="rows" type="aav" direction="out"/>)",
             R"(<interface name="VXBComboServer.__VXComboDB">)",
             R"(<signal name="DataSourceReady">)",
             R"(name="TRX.Automation.TypeLibrary.Version" value="2.0")",
             R"(name="TRX.Automation.TypeLibrary.Locale" value="1033")",
             "Velmora Basis Server für Comboboxen",
         }) {
        EXPECT_NE(xml.indexOf(QString::fromUtf8(expected)), -1) << expected;
    }
    const auto root = RunProgram(
        QStringLiteral("gdbus"),
        {QStringLiteral("introspect"), QStringLiteral("--session"), QStringLiteral("--dest"),
         kProgId, QStringLiteral("--object-path"), QStringLiteral("/"), QStringLiteral("--xml")});
    for (const char* expected :
         {R"(value="Quintaro")", R"(value="VXBCboSv.exe")",
          R"(name="TRX.Automation.VersionResource.ProductName" value="VXBComboServer")"}) {
        EXPECT_NE(root.out.indexOf(QString::fromUtf8(expected)), -1) << expected;
    }
    db.Release();
}

TEST_F(ComboServerBusTest, StartedAsAProgramItSaysHowToRegisterAndExits) {
    const auto run = RunProgram(QStringLiteral(TRX_VXBCBOSV), {});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.count(u'\n'), 1);
    EXPECT_NE(run.out.indexOf(QStringLiteral("/RegServer")), -1);
}

}  // namespace
}  // namespace trx
