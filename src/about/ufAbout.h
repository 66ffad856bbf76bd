#pragma once
// The About window: product name, file version of the build and the maker's contact lines over a
// background picture, with a link picture that changes its look under the pointer.

#include <QDialog>
#include <QUrl>
#include <array>
#include <functional>
#include <utility>

class QLabel;

class TfAbout final : public QDialog {
  Q_OBJECT
 public:
  // Owned by owner; caption goes to the window, projectName to lProjectName.
  TfAbout(const QString& caption, const QString& projectName, QWidget* owner = nullptr);

  // Four dot-separated 16-bit numbers from a build version ("1.0.3" gives "1.0.3.0"); empty when
  // the text is no such version.
  static QString FileVersionText(const QString& version);

  // Opens the maker's web address; the system's default handler unless replaced.
  using TUrlOpener = std::function<void(const QUrl&)>;
  void SetUrlOpener(TUrlOpener opener) { urlOpener_ = std::move(opener); }

  // The names before version, author, mail and phone, in the window's language.
  void SetFieldNames(const std::array<QString, 4>& names);

  static QPixmap BackgroundPicture();
  static QPixmap LinkPicture(bool hover);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void iBackgroundMouseMove();
  void iLinkMouseMove();
  void iLinkHoverClick();
  QLabel* MakeText(const char* name, int x, int y, const QString& text, int pixelSize, bool bold = false);

  QLabel* iBackground;
  QLabel* iLinkHover;
  QLabel* iLink;
  QLabel* lProjectName;
  QLabel* lVersion;
  TUrlOpener urlOpener_;
  std::array<std::pair<QLabel*, QLabel*>, 4> fields_{};  // name and value
};
