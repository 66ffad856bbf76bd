#pragma once
// A settings sheet for handing a unit over: every setting the pages show, worded as the window
// words it, grouped by page and heading, under the unit's identity, the time and the tool's
// version. Passwords and keys appear only as "set" or "not set", never as text.
//
// The sheet is read off the pages themselves, label by label, so that it always says what the
// window shows, in the window's language: each value control is named by the label left of it
// on its line, a label alone on its line is a heading, and a check box or radio button names
// itself.

#include <QString>
#include <vector>

class QWidget;

struct TSheetLine {
  QString Name;
  QString Value;
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
};

// The words the sheet uses for a check box's two states and a secret's two states.
struct TSheetWords {
  QString On, Off, Set, NotSet;
};

// What a page (or one tab of it) shows. Hidden controls are left out.
std::vector<TSheetGroup> SheetGroupsOf(const QWidget* page, const TSheetWords& words);

// The sheet as plain text (UTF-8), and as PDF through Qt's PDF writer; A4, several pages when
// it needs them. Raises std::runtime_error when the file cannot be written; a file that was
// there before is then left as it was.
QString SheetText(const TSheetHead& head, const std::vector<TSheetPart>& parts);
void WriteSheetPdf(const QString& fileName, const TSheetHead& head, const std::vector<TSheetPart>& parts);
