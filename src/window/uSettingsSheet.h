#pragma once
// A settings sheet for handing a unit over: every setting the pages show, worded as the window
// words it, grouped by page and heading, under the unit's identity, the time and the tool's
// version. Passwords and keys appear only as "set" or "not set", never as text.
//
// The sheet is read off the pages themselves, label by label, so that it always says what the
// window shows, in the window's language: each value control is named by the label left of it
// on its line, a label alone on its line is a heading, and a check box or radio button names
// itself. A label that carries the property "sheetName" is a line of its own, under that name
// (the WLAN page's country beside its channel).

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QDateTime;
class QPaintDevice;
class QSizeF;
class QTextDocument;
class QWidget;

struct TSheetLine {
  QString Name;
  QString Value;
  bool Edited = false;  // an edit on the pages, not on the unit: marked on the sheet
};

struct TSheetGroup {
  QString Heading;  // empty for the lines above a page's first heading
  std::vector<TSheetLine> Lines;
};

struct TSheetPart {
  QString Title;  // the page, and its tab where it has tabs
  std::vector<TSheetGroup> Groups;
};

struct TSheetHead {
  QString Title;
  std::vector<TSheetLine> Lines;  // the unit, where the settings came from, time, tool
  QString EditedMark;             // after the value of an edited line: "(edited, not applied)"
};

// The words the sheet uses for a check box's two states and a secret's two states.
struct TSheetWords {
  QString On, Off, Set, NotSet;
};

// What a page (or one tab of it) shows. Hidden controls are left out. edited: whether a control
// holds an edit not on the unit; its line is marked.
std::vector<TSheetGroup> SheetGroupsOf(const QWidget* page, const TSheetWords& words,
                                       const std::function<bool(const QWidget*)>& edited = {});

// A time as the sheet gives it, with its offset from UTC: "2026-01-05 14:02:11 +01:00"; without
// the date: "14:02:11 +01:00".
QString SheetTime(const QDateTime& time, bool withDate = true);

// The sheet as plain text (UTF-8), and as PDF through Qt's PDF writer; A4, several pages when
// it needs them. Raises std::runtime_error when the file cannot be written; a file that was
// there before is then left as it was.
QString SheetText(const TSheetHead& head, const std::vector<TSheetPart>& parts);
void WriteSheetPdf(const QString& fileName, const TSheetHead& head, const std::vector<TSheetPart>& parts);
// The sheet laid out on pages of pageSize in the units of device, which measures its fonts: the
// lines of a group in two columns across the page, and no heading left alone at a page's foot.
std::unique_ptr<QTextDocument> SheetDocument(const TSheetHead& head, const std::vector<TSheetPart>& parts,
                                             QPaintDevice* device, const QSizeF& pageSize);
