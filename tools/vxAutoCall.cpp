// vxAutoCall: creates an object of a class of the suite by its programmatic
// identifier, makes a sequence of calls on it, prints the results and the
// events, and releases it again, for administrators and scripts.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>

#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "automation/dbus/AutomationClient.h"
#include "automation/dbus/DBusType.h"
#include "automation/dbus/Introspection.h"
#include "automation/dbus/RecordSetWire.h"
#include "common/AutomationDate.h"
#include "common/AutomationError.h"
#include "common/StandardOptions.h"
#include "common/Text.h"
#include "platform/qt/QtText.h"

namespace {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitTimeout = 3;

constexpr const char* kUsage =
    "Usage:\n"
    "  vxAutoCall [--tsv] [--no-events] PROGID STEP [/ STEP]...\n"
    "  vxAutoCall --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "Creates one object of PROGID on the session bus (the bus starts the server\n"
    "when it is registered), runs the steps on it in order, prints each result\n"
    "and releases the object. Steps are separated by a lone \"/\":\n"
    "\n"
    "  MEMBER [ARG...]    calls the method MEMBER with the arguments, or reads\n"
    "                     the property MEMBER when it is one; trailing optional\n"
    "                     arguments may be left out\n"
    "  MEMBER=VALUE       writes the property MEMBER\n"
    "  wait EVENT [SECS]  waits for the event EVENT (default 10 seconds); an\n"
    "                     event that came since the last wait for it counts\n"
    "  sleep SECS         lets events arrive for SECS seconds\n"
    "  run PROGRAM [ARG...]  runs a program in between (no shell), for instance\n"
    "                     to change the database; a failure ends the session\n"
    "\n"
    "Arguments are converted to the types the object declares: text as given,\n"
    "numbers in C notation, automation booleans as -1, 0, true or false. An\n"
    "argument that is a lone \"/\" is written \"//\".\n"
    "\n"
    "Results are printed one per line. A record set is printed as a table\n"
    "(header, rule, one line per row, NULL for a null value), or with --tsv as\n"
    "tab-separated lines (header first, NULL empty); a method that returns\n"
    "nothing prints nothing, an empty result (no such list) prints (Nothing).\n"
    "A date (BuildDate) is printed as date and time, 2019-12-12 00:00:00, or\n"
    "with --tsv as its automation number (days since 30.12.1899, 43811).\n"
    "Events are printed as they arrive, as \"* EVENT(ARG, ...)\", unless\n"
    "--no-events is given; they arrive while the tool waits, and between steps.\n"
    "\n"
    "Exit status: 0 on success; 1 on an automation error, printed on standard\n"
    "error as \"vxAutoCall: error 0x80004005 (SOURCE): DESCRIPTION\", or on a\n"
    "bus error; 2 on a usage error; 3 when a wait ran out of time.\n"
    "\n"
    "Examples:\n"
    "  vxAutoCall vxTRXVer.Version Version / Build / BuildDate\n"
    "  vxAutoCall vxTRXVer.Version Build=7800 / BuildDate\n"
    "  vxAutoCall vxRegCPX.CPXFile Register /opt/trx/demo.cpx -1\n"
    "  vxAutoCall vxRegCPX.CPXFile UnRegister DEMO -1\n"
    "  vxAutoCall VXBComboServer.VXComboDB Init 0 \\\n"
    "      / AddComboList \"Driver=SQLite3;Database=$PWD/combolists.db\" Kunden Name Nr "
    "\"Aktiv=1\" \\\n"
    "      / wait Ready / ComboList Kunden\n"
    "  vxAutoCall --tsv VXBComboServer.VXComboDB Init 0 \\\n"
    "      / AddComboList \"Driver=SQLite3;Database=$PWD/combolists.db\" Artikel Bezeichnung ArtNr "
    "\\\n"
    "      / ComboList Artikel / Refresh / wait Ready 5 / ComboList Artikel\n";

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

QVariant Convert(const QString& text, std::optional<trx::ValueType> type, const QString& member) {
    if (!type || *type == trx::ValueType::RecordSet) {
        throw UsageError(QStringLiteral("%1 takes an argument that this tool cannot give")
                             .arg(member)
                             .toStdString());
    }
    bool ok = true;
    trx::Value value;
    switch (*type) {
        case trx::ValueType::Text:
            value = trx::FromQString(text);
            break;
        case trx::ValueType::Boolean:
            if (text.compare(u"true", Qt::CaseInsensitive) == 0) {
                value = trx::kTrue;
            } else if (text.compare(u"false", Qt::CaseInsensitive) == 0) {
                value = trx::kFalse;
            } else {
                value = static_cast<trx::AutoBool>(text.toShort(&ok));
            }
            break;
        case trx::ValueType::Int32:
            value = static_cast<std::int32_t>(text.toInt(&ok));
            break;
        default:
            value = text.toDouble(&ok);
            break;
    }
    if (!ok) {
        throw UsageError(QStringLiteral("'%1' is not a value of type '%2' for %3")
                             .arg(text, trx::DBusSignature(*type), member)
                             .toStdString());
    }
    return trx::ToDBus(value).value(0);
}

std::string Out(const QString& text) {
    return text.toStdString();
}

QString Cell(const trx::RecordSet& set, std::size_t record, std::size_t column, bool tsv) {
    QString text =
        std::visit(trx::Overloaded{
                       [&](trx::Null) { return tsv ? QString() : QStringLiteral("NULL"); },
                       [](const trx::TextCell& cell) { return trx::ToQString(cell.text); },
                       [](const trx::DecimalCell& cell) { return trx::ToQString(cell.digits); },
                       [](std::int64_t i) { return QString::number(i); },
                       [](double d) { return QString::number(d, 'g', 15); },
                       [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); },
                       [](const trx::DateTime& t) {
                           return QString::asprintf("%04d-%02u-%02u %02u:%02u:%02u", t.year,
                                                    t.month, t.day, t.hour, t.minute, t.second);
                       },
                       [](const trx::BinaryCell& cell) {
                           return QString::fromLatin1(
                               QByteArray(reinterpret_cast<const char*>(cell.bytes.data()),
                                          static_cast<qsizetype>(cell.bytes.size()))
                                   .toHex());
                       },
                   },
                   set.CellAt(record, column));
    if (tsv) {
        // A tab or line break in a value would break the line apart.
        text.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
    }
    return text;
}

void PrintRecordSet(const std::shared_ptr<const trx::RecordSet>& set, bool tsv) {
    if (!set) {
        if (!tsv) {
            std::cout << "(Nothing)\n";
        }
        return;
    }
    const std::size_t columns = set->FieldCount();
    std::vector<QStringList> lines(1);
    for (std::size_t c = 0; c < columns; ++c) {
        lines[0] << trx::ToQString(set->FieldAt(c).name);
    }
    for (std::size_t r = 0; r < set->RecordCount(); ++r) {
        QStringList line;
        for (std::size_t c = 0; c < columns; ++c) {
            line << Cell(*set, r, c, tsv);
        }
        lines.push_back(line);
    }
    if (tsv) {
        for (const auto& line : lines) {
            std::cout << Out(line.join(u'\t')) << '\n';
        }
        return;
    }
    std::vector<qsizetype> widths(columns, 0);
    for (const auto& line : lines) {
        for (std::size_t c = 0; c < columns; ++c) {
            widths[c] = std::max(widths[c], line[static_cast<qsizetype>(c)].size());
        }
    }
    auto print = [&](const QStringList& line) {
        QString text;
        for (std::size_t c = 0; c < columns; ++c) {
            text += c == 0 ? QString() : QStringLiteral("  ");
            text += c + 1 == columns ? line[static_cast<qsizetype>(c)]
                                     : line[static_cast<qsizetype>(c)].leftJustified(widths[c]);
        }
        std::cout << Out(text) << '\n';
    };
    print(lines[0]);
    QStringList rule;
    for (std::size_t c = 0; c < columns; ++c) {
        rule << QString(widths[c], u'-');
    }
    print(rule);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        print(lines[i]);
    }
}

QString Shown(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<bool>()) {
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    }
    if (value.metaType() == QMetaType::fromType<double>()) {
        return QString::number(value.toDouble(), 'g', 15);
    }
    return value.toString();
}

// An automation date as date and time, "2019-12-12 00:00:00"; a number that
// is no date stays a number.
QString ShownDate(const QVariant& value) {
    const auto date = trx::FromAutomationDate(value.toDouble());
    if (!date) {
        return Shown(value);
    }
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", date->year, date->month, date->day,
                             date->hour, date->minute, date->second);
}

struct Options {
    bool tsv = false;
    bool events = true;
    QString progId;
    std::vector<QStringList> steps;
};

Options ParseArguments(const QStringList& args) {
    Options options;
    qsizetype i = 0;
    for (; i < args.size() && args[i].startsWith(QStringLiteral("--")); ++i) {
        if (args[i] == u"--tsv") {
            options.tsv = true;
        } else if (args[i] == u"--no-events") {
            options.events = false;
        } else {
            throw UsageError("unknown option " + Out(args[i]));
        }
    }
    if (i >= args.size()) {
        throw UsageError("no programmatic identifier given");
    }
    options.progId = args[i++];
    QStringList step;
    for (; i < args.size(); ++i) {
        if (args[i] == u"/") {
            if (step.isEmpty()) {
                throw UsageError("an empty step");
            }
            options.steps.push_back(step);
            step.clear();
        } else {
            step << (args[i] == u"//" ? QStringLiteral("/") : args[i]);
        }
    }
    if (!step.isEmpty()) {
        options.steps.push_back(step);
    } else if (!options.steps.empty()) {
        throw UsageError("an empty step at the end");
    }
    if (options.steps.empty()) {
        throw UsageError("no step given");
    }
    return options;
}

// Runs the steps on one object and prints what they give.
class Session {
  public:
    Session(const Options& options, trx::AutomationObject& object, trx::IntrospectedObject info)
        : options_(options), object_(object), info_(std::move(info)) {
        for (const QString& event : info_.events) {
            object_.OnEvent(event, [this, event](const QVariantList& args) {
                received_[event] += 1;
                if (options_.events) {
                    QStringList shown;
                    for (const auto& arg : args) {
                        shown << Shown(arg);
                    }
                    std::cout << "* " << Out(event) << '(' << Out(shown.join(QStringLiteral(", ")))
                              << ")\n"
                              << std::flush;
                }
            });
        }
    }

    // The exit code of the steps.
    int Run() {
        for (const QStringList& step : options_.steps) {
            QCoreApplication::processEvents();
            if (const int code = RunStep(step); code != 0) {
                return code;
            }
            std::cout << std::flush;
        }
        QCoreApplication::processEvents();
        return 0;
    }

  private:
    int RunStep(const QStringList& step) {
        const QString& head = step.front();
        if (head == u"wait") {
            return Wait(step);
        }
        if (head == u"run") {
            return RunProgram(step.mid(1));
        }
        if (head == u"sleep") {
            if (step.size() != 2) {
                throw UsageError("sleep takes a number of seconds");
            }
            Pump(Seconds(step[1]), [] { return false; });
            return 0;
        }
        const auto equals = head.indexOf(u'=');
        if (equals > 0 && step.size() == 1) {
            const QString name = head.left(equals);
            const auto property = info_.properties.find(name);
            if (property == info_.properties.end() || !property->second.writable) {
                throw UsageError(Out(name) + " is no property that can be written");
            }
            object_.Set(name, Convert(head.mid(equals + 1), property->second.type, name));
            return 0;
        }
        if (const auto method = info_.methods.find(head); method != info_.methods.end()) {
            return Call(head, method->second, step.mid(1));
        }
        if (info_.properties.count(head) != 0) {
            if (step.size() != 1) {
                throw UsageError("the property " + Out(head) + " takes no arguments");
            }
            const QVariant value = object_.Get(head);
            const bool date =
                info_.properties.at(head).type == trx::ValueType::Date && !options_.tsv;
            std::cout << Out(date ? ShownDate(value) : Shown(value)) << '\n';
            return 0;
        }
        throw UsageError(Out(options_.progId) + " has no member " + Out(head));
    }

    int Call(const QString& name, const trx::IntrospectedMethod& method, const QStringList& args) {
        const auto given = static_cast<std::size_t>(args.size());
        if (given < method.required || given > method.in.size()) {
            throw UsageError(QStringLiteral("%1 takes %2 to %3 arguments, not %4")
                                 .arg(name)
                                 .arg(method.required)
                                 .arg(method.in.size())
                                 .arg(args.size())
                                 .toStdString());
        }
        QVariantList values;
        for (qsizetype i = 0; i < args.size(); ++i) {
            values << Convert(args[i], method.in[static_cast<std::size_t>(i)], name);
        }
        const QVariantList results = object_.CallForResults(name, values);
        // Signals that the server sent before its reply came in with it; show
        // them first, in the order they were sent.
        QCoreApplication::processEvents();
        if (method.result == trx::ValueType::RecordSet) {
            const auto set = trx::FromDBus(results, trx::ValueType::RecordSet);
            if (!set) {
                throw trx::RecordSetWireError("not two arguments");
            }
            PrintRecordSet(std::get<trx::RecordSetRef>(*set), options_.tsv);
            return 0;
        }
        for (const auto& result : results) {
            std::cout << Out(Shown(result)) << '\n';
        }
        return 0;
    }

    int Wait(const QStringList& step) {
        if (step.size() < 2 || step.size() > 3) {
            throw UsageError("wait takes an event and a number of seconds");
        }
        const QString& event = step[1];
        if (!info_.events.contains(event)) {
            throw UsageError(Out(options_.progId) + " has no event " + Out(event));
        }
        const int seconds = step.size() == 3 ? Seconds(step[2]) : 10;
        const bool arrived = Pump(seconds, [&] { return received_[event] > consumed_[event]; });
        if (!arrived) {
            std::cerr << "vxAutoCall: no " << Out(event) << " within " << seconds << " s\n";
            return kExitTimeout;
        }
        consumed_[event] = received_[event];
        return 0;
    }

    // The program's output goes straight to ours, after what we printed.
    static int RunProgram(const QStringList& command) {
        if (command.isEmpty()) {
            throw UsageError("run takes a program");
        }
        std::cout << std::flush;
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(command.front(), command.mid(1));
        if (!process.waitForStarted() || !process.waitForFinished(-1)) {
            std::cerr << "vxAutoCall: cannot run " << Out(command.front()) << '\n';
            return kExitError;
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            std::cerr << "vxAutoCall: " << Out(command.front()) << " failed with status "
                      << process.exitCode() << '\n';
            return kExitError;
        }
        return 0;
    }

    static int Seconds(const QString& text) {
        bool ok = false;
        const int seconds = text.toInt(&ok);
        if (!ok || seconds < 0) {
            throw UsageError("'" + Out(text) + "' is no number of seconds");
        }
        return seconds;
    }

    // Runs the event loop until done holds or the time is up; whether done held.
    static bool Pump(int seconds, const std::function<bool()>& done) {
        QDeadlineTimer deadline(static_cast<qint64>(seconds) * 1000);
        while (!done()) {
            if (deadline.hasExpired()) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        return true;
    }

    const Options& options_;
    trx::AutomationObject& object_;
    trx::IntrospectedObject info_;
    std::map<QString, int> received_;
    std::map<QString, int> consumed_;
};

QString Hex(std::int32_t number) {
    return QStringLiteral("0x%1")
        .arg(static_cast<std::uint32_t>(number), 8, 16, QChar(u'0'))
        .toUpper()
        .replace(QStringLiteral("0X"), QStringLiteral("0x"));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments().mid(1);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::cout << kUsage << kHelp;
        return 0;
    }
    if (args == QStringList{QStringLiteral("--version")}) {
        std::cout << "vxAutoCall " << trx::ProgramVersion() << '\n';
        return 0;
    }
    Options options;
    try {
        options = ParseArguments(args);
    } catch (const UsageError& error) {
        std::cerr << "vxAutoCall: " << error.what() << '\n' << kUsage;
        return kExitUsage;
    }
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::cerr << "vxAutoCall: no session bus: " << Out(bus.lastError().message()) << '\n';
        return kExitError;
    }
    std::optional<trx::AutomationObject> object;
    int code = 0;
    try {
        object.emplace(trx::AutomationClient(bus).Create(options.progId));
        auto introspect = QDBusMessage::createMethodCall(
            object->Server(), object->Path(), QStringLiteral("org.freedesktop.DBus.Introspectable"),
            QStringLiteral("Introspect"));
        const QVariantList xml = trx::CallWithoutTimeout(bus, introspect);
        Session session(options, *object,
                        trx::ReadIntrospection(xml.value(0).toString(), object->Interface()));
        code = session.Run();
    } catch (const UsageError& error) {
        std::cerr << "vxAutoCall: " << error.what() << '\n';
        code = kExitUsage;
    } catch (const trx::AutomationError& error) {
        std::cerr << "vxAutoCall: error " << Out(Hex(error.Number())) << " ("
                  << trx::ToUtf8(error.Source()) << "): " << trx::ToUtf8(error.Description())
                  << '\n';
        code = kExitError;
    } catch (const trx::BusError& error) {
        std::cerr << "vxAutoCall: " << Out(error.Name()) << ": " << Out(error.Message()) << '\n';
        code = kExitError;
    } catch (const trx::RecordSetWireError& error) {
        std::cerr << "vxAutoCall: malformed record set: " << error.what() << '\n';
        code = kExitError;
    }
    if (object) {
        try {
            object->Release();
        } catch (const std::exception& error) {
            std::cerr << "vxAutoCall: release failed: " << error.what() << '\n';
            code = code == 0 ? kExitError : code;
        }
    }
    return code;
}
