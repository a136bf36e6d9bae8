#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace trx {

// The fields of a program's version resource, published with its class.
struct VersionResource {
    QString companyName;
    QString productName;
    QString internalName;
    QString originalFilename;
    QString fileVersion = QStringLiteral("1.00");
    QString productVersion = QStringLiteral("1.00");
    QString language = QStringLiteral("0407");
};

struct TypeLibraryIdentity {
    QString name;  // "vxRegCPX"; also the prefix of the interface names on the bus
    int majorVersion = 1;
    int minorVersion = 0;
    QString id;        // GUID
    QString helpText;  // may be empty
    QString locale;    // LCID in decimal, empty when the library has none
};

// Everything by which clients know a class. GUIDs are written in braces, upper case.
struct ClassIdentity {
    QString className;  // "CPXFile"
    QString classId;
    QString interfaceId;  // of the default interface _<class>
    QString aliasName;    // "CPXFile___v0"
    QString aliasId;
    QString eventInterfaceId;  // of __<class>; empty when the class raises no events
    TypeLibraryIdentity typeLibrary;
    VersionResource versionResource;

    QString ProgId() const { return typeLibrary.name + u'.' + className; }
    QString DefaultInterface() const { return typeLibrary.name + QStringLiteral("._") + className; }
    QString EventInterface() const { return typeLibrary.name + QStringLiteral(".__") + className; }
};

// A parameter or result. An invalid defaultValue makes the parameter required;
// only trailing parameters may be optional.
struct ArgSpec {
    QString name;
    QString signature;  // one complete D-Bus type: "s", "n", "i", "d", ...
    QVariant defaultValue = {};

    bool IsOptional() const { return defaultValue.isValid(); }
};

// An object of a served class, as the server holds it.
class ServedObject {
  public:
    virtual ~ServedObject() = default;
};

template <class T>
class Served final : public ServedObject {
  public:
    explicit Served(std::unique_ptr<T> value) : value_(std::move(value)) {}
    T& Value() { return *value_; }

  private:
    std::unique_ptr<T> value_;
};

// Handlers receive every parameter, defaults filled in, with the D-Bus types of
// their signatures, and throw AutomationError to fail the call.
using MethodHandler = std::function<QVariant(ServedObject&, const QVariantList&)>;
using PropertyGetter = std::function<QVariant(ServedObject&)>;
using PropertySetter = std::function<void(ServedObject&, const QVariant&)>;

struct MethodSpec {
    QString name;
    std::uint32_t dispatchId = 0;
    QList<ArgSpec> in;
    ArgSpec result;  // empty signature: the method returns nothing
    MethodHandler call;
    // Further out arguments after result. With any, the handler returns a
    // QVariantList that holds result and then these, in order.
    QList<ArgSpec> moreResults = {};

    // The in-signatures that the method answers, the full one last.
    QList<QString> AcceptedSignatures() const;
};

struct PropertySpec {
    QString name;
    std::uint32_t dispatchId = 0;
    QString signature;
    PropertyGetter get;
    PropertySetter set;  // empty: read-only
    // An automation date: carried as a double ("d"), and marked as a date in
    // the introspection data so that clients can show it as one.
    bool date = false;
};

struct EventSpec {
    QString name;
    std::uint32_t dispatchId = 0;
    QList<ArgSpec> args;
};

// Raises an event of the object it was made for: a signal of the class's
// event interface, sent to every client.
using EventEmitter = std::function<void(const QString& event, const QVariantList& args)>;

using ObjectFactory = std::function<std::unique_ptr<ServedObject>(const EventEmitter&)>;

// The table through which the server serves one class: identity, members and
// how to make an object. Written by hand for each class by its adaptor.
struct AutomationClass {
    ClassIdentity identity;
    std::vector<MethodSpec> methods;
    std::vector<PropertySpec> properties;
    std::vector<EventSpec> events;
    ObjectFactory create;  // may throw AutomationError

    const MethodSpec* FindMethod(const QString& name) const;
    const PropertySpec* FindProperty(const QString& name) const;
};

// Builds the member table of a class whose objects are of type T, so that the
// handlers get a T& rather than the server's view of the object.
template <class T>
class ClassBuilder {
  public:
    explicit ClassBuilder(ClassIdentity identity) { class_.identity = std::move(identity); }

    ClassBuilder& Create(std::function<std::unique_ptr<T>(const EventEmitter&)> make) {
        class_.create = [make = std::move(make)](
                            const EventEmitter& raiseEvent) -> std::unique_ptr<ServedObject> {
            return std::make_unique<Served<T>>(make(raiseEvent));
        };
        return *this;
    }

    ClassBuilder& Method(QString name, std::uint32_t dispatchId, QList<ArgSpec> in, ArgSpec result,
                         std::function<QVariant(T&, const QVariantList&)> call,
                         QList<ArgSpec> moreResults = {}) {
        class_.methods.push_back({std::move(name), dispatchId, std::move(in), std::move(result),
                                  [call = std::move(call)](ServedObject& o, const QVariantList& a) {
                                      return call(Of(o), a);
                                  },
                                  std::move(moreResults)});
        return *this;
    }

    ClassBuilder& Property(QString name, std::uint32_t dispatchId, QString signature,
                           std::function<QVariant(T&)> get,
                           std::function<void(T&, const QVariant&)> set = {}) {
        PropertySetter setter;
        if (set) {
            setter = [set = std::move(set)](ServedObject& o, const QVariant& v) { set(Of(o), v); };
        }
        class_.properties.push_back({std::move(name), dispatchId, std::move(signature),
                                     [get = std::move(get)](ServedObject& o) { return get(Of(o)); },
                                     std::move(setter)});
        return *this;
    }

    // A property whose value is an automation date (days from 30.12.1899).
    ClassBuilder& DateProperty(QString name, std::uint32_t dispatchId,
                               std::function<QVariant(T&)> get,
                               std::function<void(T&, const QVariant&)> set = {}) {
        Property(std::move(name), dispatchId, QStringLiteral("d"), std::move(get), std::move(set));
        class_.properties.back().date = true;
        return *this;
    }

    ClassBuilder& Event(QString name, std::uint32_t dispatchId, QList<ArgSpec> args) {
        class_.events.push_back({std::move(name), dispatchId, std::move(args)});
        return *this;
    }

    AutomationClass Build() { return std::move(class_); }

  private:
    // Every object of this table was made by Create above, so it is a Served<T>.
    static T& Of(ServedObject& object) { return static_cast<Served<T>&>(object).Value(); }

    AutomationClass class_;
};

}  // namespace trx
