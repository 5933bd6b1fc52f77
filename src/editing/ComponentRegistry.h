#pragma once
// The class registry of stored forms and the reader that turns a component
// stream into live objects. The registry knows the 47 class names a stored
// form may use, the published properties of each (with the kind of value
// each accepts) and which object stands behind each name.

#include "ComponentControls.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <functional>
#include <memory>

namespace editing
{

// The registered class names, in registry order.
[[nodiscard]] QStringList RegisteredClassNames();

// Makes a new, unparented object of one class.
using ComponentFactory = std::function<Component*()>;

// Replaces how the objects of a registered class are made, for a layer that
// extends a class (the property table stays). The factory's objects must
// derive from the class's own. Returns false for a name that is not
// registered.
bool ReplaceComponentFactory(const QString& className, ComponentFactory factory);

// Finds a component of another root by the root's name and the component's
// name (the two halves of "DM.GRQuery"); null when there is none.
using OutsideLookup = std::function<QObject*(const QString& owner, const QString& name)>;

// The lookup that every reading uses when its options give none (the data
// module registers its components here). An empty function removes it.
void SetOutsideLookup(OutsideLookup lookup);

struct ReadOptions {
    // False: check the stream against the registry exactly as a reading does
    // (same failures, same texts) without creating any object; ReadComponent
    // then returns null. This needs no widget application.
    bool createObjects = true;
    // Overrides the process-wide outside lookup for this reading.
    OutsideLookup outside;
    // When set, receives the tree as read (class, name, properties, children).
    StreamComponent* tree = nullptr;
    // When set, the root record is read into this existing object (its class
    // must be the record's) instead of a new one; used for built-in designs.
    Component* into = nullptr;
};

// Reads one component stream from bytes at pos and returns the root with all
// its children (the caller owns it; null when options.createObjects is false
// or options.into is set).
//
// Classes are looked up in the registry; a root of class TUForm starts from
// its built-in design. Properties are checked against the class's table and
// applied in stream order; event properties must name a published method of
// the root; component references are resolved after the whole tree is read
// ("A.B" through the outside lookup unless A is this root), and stay empty
// when they cannot be resolved. Every object gets loaded() once the tree is
// complete, and the controls are laid out by their alignment and anchors.
//
// Failure: throws platform::Error with the exact text: "Invalid stream
// format", "Class NAME not found", "A component named NAME already exists",
// "Stream read error", and inside a property "Error reading
// COMPONENT.PROPERTY: " followed by "Property NAME does not exist", "Invalid
// property value" or "Stream read error". Nothing of a failed reading
// survives: every object it created is destroyed.
[[nodiscard]] std::unique_ptr<QObject> ReadComponent(QByteArrayView bytes, qsizetype& pos,
                                                     const ReadOptions& options = {});

// The same, from the start of a whole stream.
[[nodiscard]] std::unique_ptr<QObject> ReadComponent(const QByteArray& stream,
                                                     const ReadOptions& options = {});

// Reads a built-in design, written in the component notation (FormText.h),
// into an existing object, as a stored form's stream would be read; the text
// is compiled once. A design that does not read is a fault of the program
// and throws as ReadComponent does.
void ApplyBuiltInDesign(Component& component, const char* design);

} // namespace editing
