#pragma once
// The run-time component tree of a window and the properties the language engine reaches by
// name. A component is any named QObject; a control is a QWidget. The tree follows the
// controls placed on each container, with the toolkit's own helpers (unnamed widgets and those
// named "qt_...") made transparent, and a tab page reached under its tab control.

#include <QList>
#include <QString>
#include <QStringList>

class QObject;
class QWidget;

namespace LanguageProps {

// Windows owned by the application itself: parentless, named top-level widgets other than
// pop-ups and tool tips, ordered by name so a generated file is the same on every run.
QList<QWidget*> ApplicationWindows();

bool IsControl(const QObject* c);
// A control that holds controls placed on it (panels, pages, group boxes, tab controls).
bool IsWindowedControl(const QObject* c);
// Named controls placed on a windowed control, in child order; a tab control's pages in tab order.
QList<QWidget*> ChildControls(const QObject* c);
// Named non-visual components owned by a component (colour schemas, timers), in creation order.
QList<QObject*> OwnedComponents(const QObject* c);
QWidget* FindChildControl(const QObject* c, const QString& name);
QObject* FindOwnedComponent(const QObject* c, const QString& name);

bool HasCaption(const QObject* c);
QString Caption(const QObject* c);
void SetCaption(QObject* c, const QString& text);

// Combo boxes, list widgets, multi-line texts and radio groups (a group box holding an exclusive
// QButtonGroup). Not a control that declares the class info "LiveItems", such as the port
// picker: its entries are what the system has now, and a file written on one machine would
// put stale ones on another.
bool IsListLike(const QObject* c);
QStringList Items(const QObject* c);
// Replaces the list. Raises no change signal of the control, as code that fills a list expects.
void SetItems(QObject* c, const QStringList& items);
bool HasItemIndex(const QObject* c);
int ItemIndex(const QObject* c);  // -1 for none
// An index beyond the list leaves nothing selected.
void SetItemIndex(QObject* c, int index);

// Whether the property named (letter case ignored) holds text, so that debug decorations apply
// to it. Raises ELanguageError "Property %s does not exist" when the component has no such
// property.
bool IsTextProperty(const QObject* c, const QString& name);
// Sets the property named (letter case ignored) from its text form. Raises ELanguageError
// "Property %s does not exist" for an unknown name and a conversion error for a text that the
// property cannot take. Never creates a property the component did not have.
void SetPropertyText(QObject* c, const QString& name, const QString& value);

}  // namespace LanguageProps
