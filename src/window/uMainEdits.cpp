// What the pages hold that the device does not: numbers typed outside their range, which stay
// as typed and red until mended and keep an Apply from sending anything.

#include <QLabel>

#include "uIntEdit.h"
#include "uKaVruneBinding.h"
#include "uMain.h"
#include "uMainPrivate.h"
#include "uPages.h"
#include "uStatusLine.h"

namespace {

// The caption left of a control on its row, without its colon: the name the user sees.
QString FieldName(const QWidget* control) {
  const QRect at = control->geometry();
  const QLabel* best = nullptr;
  for (const QLabel* label : control->parentWidget()->findChildren<const QLabel*>(Qt::FindDirectChildrenOnly)) {
    const QRect g = label->geometry();
    if (label->text().isEmpty() || g.right() > at.left() + 4 || g.center().y() < at.top() ||
        g.center().y() > at.bottom())
      continue;
    if (!best || g.right() > best->geometry().right()) best = label;
  }
  if (!best) return control->objectName();
  QString name = best->text().trimmed();
  while (name.endsWith(QLatin1Char(':'))) name.chop(1);
  return name;
}

}  // namespace

QList<TIntEdit*> TfMain::NumberEdits() const {
  QList<TIntEdit*> edits;
  for (const QWidget* page :
       std::initializer_list<const QWidget*>{pNetwork, pServer, pServices, pcChannel1, pWLAN, pEmail})
    edits += page->findChildren<TIntEdit*>();
  return edits;
}

void TfMain::WatchEdits() {
  const QString range = LangText("Range_Allowed", "allowed: %1 to %2");
  for (TIntEdit* edit : NumberEdits()) {
    edit->SetRangeText(range);
    edit->SetKeepOutOfRange(true);
    connect(edit, &TIntEdit::RangeStateChanged, this, [this] { ShowEditState(); });
  }
}

QStringList TfMain::RangeFaults() const {
  QStringList faults;
  for (const TIntEdit* edit : NumberEdits())
    // Only what the user typed: a device's own value outside the range is shown, not refused.
    if (IsOwnEnabled(edit) && edit->isModified() && !edit->TextInRange())
      faults << LangText("Range_Fault", "%1: %2").arg(FieldName(edit), edit->AllowedRange());
  return faults;
}

void TfMain::ShowEditState() {
  const QStringList faults = RangeFaults();
  statusLine_->ShowEdits(faults.join(QLatin1Char('\n')), !faults.isEmpty());
}
