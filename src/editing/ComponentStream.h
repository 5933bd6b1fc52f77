#pragma once
// The stored component stream: the byte layout in which record forms, list
// forms and the program's built-in window designs are kept. A stream is the
// signature "TPF0" and one component record (class name, component name,
// property values, child records). This unit reads and writes the bytes only;
// it knows no component class. ComponentRegistry turns what it reads into
// objects.
//
// Contract of the reader: it never reads outside the given bytes, bounds the
// nesting of records and values, and stops at the first fault by throwing
// platform::Error with one of the texts below. It allocates no more than the
// input's own size for any value.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace editing
{

// The fixed texts of the format: the signature and every failure text. The
// "%1" places take the names; they are the reader's own messages, shown to
// the user unchanged.
namespace streamtext
{
inline constexpr char kSignature[] = "TPF0";
inline constexpr char kInvalidStreamFormat[] = "Invalid stream format";
inline constexpr char kClassNotFound[] = "Class %1 not found";
inline constexpr char kPropertyDoesNotExist[] = "Property %1 does not exist";
inline constexpr char kInvalidPropertyValue[] = "Invalid property value";
inline constexpr char kDuplicateName[] = "A component named %1 already exists";
inline constexpr char kStreamReadError[] = "Stream read error";
// Component name (class name when empty), ".", property name, message.
inline constexpr char kErrorReading[] = "Error reading %1%2%3: %4";
// The writer's own refusal: a name or text longer than a short string holds.
inline constexpr char kShortStringTooLong[] = "Text too long for a short string: %1";
} // namespace streamtext

// Deepest nesting of component records, and of values inside one value, that
// the reader accepts; deeper input is reported as a read error. Stored forms
// nest a few levels; the bound keeps hostile input from exhausting the stack.
inline constexpr int kMaxStreamNesting = 64;

// The type byte of a value.
enum class ValueType : quint8 {
    Null = 0, // end of a list; never a value of its own
    List = 1,
    Int8 = 2,
    Int16 = 3,
    Int32 = 4,
    Extended = 5,
    String = 6,
    Ident = 7,
    False = 8,
    True = 9,
    Binary = 10,
    Set = 11,
    LString = 12,
    Nil = 13,
    Collection = 14,
    Single = 15,
    Currency = 16,
    Date = 17,
    WString = 18,
    Int64 = 19,
    Utf8String = 20,
};

// Flags of a record's prefix byte (its low four bits).
enum ComponentFlag : quint8 {
    kFlagInherited = 1, // the component exists already; only changed properties follow
    kFlagChildPos = 2,  // an integer value with the child position follows
    kFlagInline = 4,    // a frame embedded with its own class
};

struct StreamProperty;

struct CollectionItem {
    std::optional<qint64> order; // the item's order value, when written
    std::vector<StreamProperty> properties;
};

// One value as it stands in the stream, with its type kept.
struct StreamValue {
    ValueType type = ValueType::Nil;
    qint64 integer = 0;            // Int8, Int16, Int32, Int64; Currency as the value times 10000
    double real = 0;               // Extended, Single, Date (days since 30 December 1899)
    QString text;                  // the string types and Ident
    QByteArray bytes;              // Binary
    QStringList members;           // Set
    std::vector<StreamValue> list; // List
    std::vector<CollectionItem> items; // Collection

    bool isInteger() const; // Int8, Int16 or Int32 (the types of an integer property)
    bool isString() const;  // String, LString, WString or Utf8String

    // An integer in the smallest of Int8, Int16, Int32, Int64 that holds it.
    static StreamValue fromInteger(qint64 value);
    // A text as String, LString when longer than 255 bytes, WString when it
    // holds characters that code page 1251 lacks.
    static StreamValue fromText(const QString& text);
    static StreamValue ident(const QString& name);
    static StreamValue boolean(bool value);
};

struct StreamProperty {
    QString name; // dotted for properties of nested objects ("Font.Name")
    StreamValue value;
};

// The part of a record before its properties.
struct ComponentHeader {
    quint8 flags = 0;                    // ComponentFlag bits
    std::optional<qint64> childPosition; // present exactly with kFlagChildPos
    QString className;
    QString name; // may be empty
};

// A record with everything below it, as read or as to be written.
struct StreamComponent {
    ComponentHeader header;
    std::vector<StreamProperty> properties;
    std::vector<StreamComponent> children;
};

// Receives the parts of a stream in stream order while it is read. Any
// function may throw platform::Error to stop the reading; an error thrown from
// beginProperty or property is wrapped as a failure inside that property.
class ComponentSink
{
public:
    virtual ~ComponentSink() = default;
    virtual void beginComponent(const ComponentHeader& header) = 0;
    // The property's name has been read; its value follows.
    virtual void beginProperty(const QString& name) = 0;
    virtual void property(const StreamProperty& property) = 0;
    // All properties of the current record are read; its children follow.
    virtual void endProperties() = 0;
    virtual void endComponent() = 0;
};

// A sink that keeps the plain tree of what it receives.
class StreamTreeBuilder : public ComponentSink
{
public:
    void beginComponent(const ComponentHeader& header) override;
    void beginProperty(const QString&) override {}
    void property(const StreamProperty& property) override;
    void endProperties() override {}
    void endComponent() override;
    // The root after its record has ended.
    [[nodiscard]] StreamComponent takeRoot() { return std::move(m_root); }

private:
    std::vector<StreamComponent> m_open;
    StreamComponent m_root;
};

// Reads one stream from bytes at pos: the signature, then the root record
// with all its children, handing each part to sink as it is read. On success
// pos stands after the root record. On failure throws platform::Error:
// "Invalid stream format" when the signature is missing, "Stream read error"
// when the bytes end inside a record (or nest deeper than kMaxStreamNesting),
// "Invalid property value" for a type byte that is no value; failures inside a
// property come wrapped as "Error reading NAME.PROPERTY: MESSAGE".
void ReadComponentStream(QByteArrayView bytes, qsizetype& pos, ComponentSink& sink);

// The whole stream as a tree, without looking at classes or properties.
// Failure: as ReadComponentStream.
[[nodiscard]] StreamComponent ReadStreamTree(QByteArrayView bytes);

// The stream of a tree: the signature and the root record. Types are written
// as the values hold them. Throws platform::Error when a class name, a name,
// a property name, a set member or a short string is longer than 255 bytes.
[[nodiscard]] QByteArray WriteComponentStream(const StreamComponent& root);

// 80-bit extended precision (8-byte mantissa with its integer bit, then sign
// and 15-bit exponent, little-endian) to and from double. Values beyond the
// range of double become infinities; NaN stays NaN.
[[nodiscard]] double ExtendedToDouble(const unsigned char bytes[10]);
void DoubleToExtended(double value, unsigned char bytes[10]);

// The graphic inside a picture's binary value. A picture writes the class name
// of its graphic as a short string first ("TBitmap", "TIcon", ...); a bitmap
// writes a 4-byte length before its file bytes. Both are optional here, so a
// bitmap's own data and a bare image file are recognised as well. Returns the
// class name (empty when none was written) and the image file's bytes; data
// whose layout is not recognised comes back unchanged.
struct GraphicData {
    QString className;
    QByteArray image;
};
[[nodiscard]] GraphicData ExtractGraphicData(QByteArrayView bytes);

} // namespace editing
