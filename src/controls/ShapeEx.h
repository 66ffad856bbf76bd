#pragma once
// Flat, coloured shape buttons with a centred caption, their colour styles and colour schemas.

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QWidget>

// One look of a button: fill, border and text colour.
class TShapeExColorStyle final : public QObject {
  Q_OBJECT
  Q_PROPERTY(QColor BrushColor READ BrushColor WRITE SetBrushColor)
  Q_PROPERTY(QColor BorderColor READ BorderColor WRITE SetBorderColor)
  Q_PROPERTY(QColor FontColor READ FontColor WRITE SetFontColor)

 public:
  explicit TShapeExColorStyle(QObject* parent = nullptr) : QObject(parent) {}

  QColor BrushColor() const { return brush_; }
  void SetBrushColor(const QColor& c);
  QColor BorderColor() const { return border_; }
  void SetBorderColor(const QColor& c);
  QColor FontColor() const { return font_; }
  void SetFontColor(const QColor& c);
  void SetColors(const QColor& brush, const QColor& border, const QColor& font);

  // Copies the three colours; any other kind of source is refused with std::invalid_argument.
  void Assign(const QObject* source);
  void Assign(const TShapeExColorStyle& source) { SetColors(source.brush_, source.border_, source.font_); }

 signals:
  void Changed();

 private:
  QColor brush_ = Qt::white;
  QColor border_ = Qt::black;
  QColor font_ = Qt::black;
};

// Seven styles for the states of a button. A schema may serve any number of buttons.
class TShapeExColorSchema final : public QObject {
  Q_OBJECT
  Q_PROPERTY(TShapeExColorStyle* DefaultColorStyle READ DefaultColorStyle WRITE SetDefaultColorStyle)
  Q_PROPERTY(bool MouseOverEnabled READ MouseOverEnabled WRITE SetMouseOverEnabled)
  Q_PROPERTY(TShapeExColorStyle* MouseOverDownColorStyle READ MouseOverDownColorStyle WRITE SetMouseOverDownColorStyle)
  Q_PROPERTY(TShapeExColorStyle* MouseOverUpColorStyle READ MouseOverUpColorStyle WRITE SetMouseOverUpColorStyle)
  Q_PROPERTY(TShapeExColorStyle* DownColorStyle READ DownColorStyle WRITE SetDownColorStyle)
  Q_PROPERTY(bool PressedEnabled READ PressedEnabled WRITE SetPressedEnabled)
  Q_PROPERTY(TShapeExColorStyle* PressedDownColorStyle READ PressedDownColorStyle WRITE SetPressedDownColorStyle)
  Q_PROPERTY(TShapeExColorStyle* PressedUpColorStyle READ PressedUpColorStyle WRITE SetPressedUpColorStyle)
  Q_PROPERTY(TShapeExColorStyle* DisabledColorStyle READ DisabledColorStyle WRITE SetDisabledColorStyle)

 public:
  explicit TShapeExColorSchema(QObject* parent = nullptr);

  TShapeExColorStyle* DefaultColorStyle() const { return default_; }
  TShapeExColorStyle* MouseOverDownColorStyle() const { return mouseOverDown_; }
  TShapeExColorStyle* MouseOverUpColorStyle() const { return mouseOverUp_; }
  TShapeExColorStyle* DownColorStyle() const { return down_; }
  TShapeExColorStyle* PressedDownColorStyle() const { return pressedDown_; }
  TShapeExColorStyle* PressedUpColorStyle() const { return pressedUp_; }
  TShapeExColorStyle* DisabledColorStyle() const { return disabled_; }
  // Writing a style copies its colours; the schema keeps its own styles.
  void SetDefaultColorStyle(const TShapeExColorStyle* s) { Copy(default_, s); }
  void SetMouseOverDownColorStyle(const TShapeExColorStyle* s) { Copy(mouseOverDown_, s); }
  void SetMouseOverUpColorStyle(const TShapeExColorStyle* s) { Copy(mouseOverUp_, s); }
  void SetDownColorStyle(const TShapeExColorStyle* s) { Copy(down_, s); }
  void SetPressedDownColorStyle(const TShapeExColorStyle* s) { Copy(pressedDown_, s); }
  void SetPressedUpColorStyle(const TShapeExColorStyle* s) { Copy(pressedUp_, s); }
  void SetDisabledColorStyle(const TShapeExColorStyle* s) { Copy(disabled_, s); }

  bool MouseOverEnabled() const { return mouseOverEnabled_; }
  void SetMouseOverEnabled(bool v);
  bool PressedEnabled() const { return pressedEnabled_; }
  void SetPressedEnabled(bool v);

  const TShapeExColorStyle* GetStyle(bool enabled, bool down, bool pressed, bool mouseOver) const;

 signals:
  // Any colour or flag changed; the buttons that use the schema repaint.
  void Changed();

 private:
  void Copy(TShapeExColorStyle* target, const TShapeExColorStyle* source);
  TShapeExColorStyle* MakeStyle();

  TShapeExColorStyle* default_;
  bool mouseOverEnabled_ = false;
  TShapeExColorStyle* mouseOverDown_;
  TShapeExColorStyle* mouseOverUp_;
  TShapeExColorStyle* down_;
  bool pressedEnabled_ = false;
  TShapeExColorStyle* pressedDown_;
  TShapeExColorStyle* pressedUp_;
  TShapeExColorStyle* disabled_;
};

class TShapeEx : public QWidget {
  Q_OBJECT
 public:
  enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };
  Q_ENUM(TShapeType)

 private:
  Q_PROPERTY(int RoundCorner READ RoundCorner WRITE SetRoundCorner)
  Q_PROPERTY(TShapeExColorSchema* ColorSchema READ ColorSchema WRITE SetColorSchema)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool Down READ Down WRITE SetDown)
  Q_PROPERTY(int Group READ Group WRITE SetGroup)
  Q_PROPERTY(bool AllowDown READ AllowDown WRITE SetAllowDown)
  Q_PROPERTY(bool AllowUp READ AllowUp WRITE SetAllowUp)
  Q_PROPERTY(TShapeType Shape READ Shape WRITE SetShape)
  Q_PROPERTY(QColor PenColor READ PenColor WRITE SetPenColor)
  Q_PROPERTY(int PenWidth READ PenWidth WRITE SetPenWidth)
  Q_PROPERTY(QColor BrushColor READ BrushColor WRITE SetBrushColor)
  Q_PROPERTY(QColor FontColor READ FontColor WRITE SetFontColor)
  Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
  Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)

 public:
  explicit TShapeEx(QWidget* parent = nullptr);

  int RoundCorner() const { return roundCorner_; }
  void SetRoundCorner(int v);
  TShapeExColorSchema* ColorSchema() const { return schema_; }
  // Not owned. A schema that is destroyed first simply leaves the button with its own colours.
  void SetColorSchema(TShapeExColorSchema* v);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& v);
  bool Down() const { return down_; }
  // Pressing a button of a group releases the others of its group among its siblings.
  // Raises no click.
  void SetDown(bool v);
  int Group() const { return group_; }
  void SetGroup(int v) { group_ = v; }
  bool AllowDown() const { return allowDown_; }
  void SetAllowDown(bool v) { allowDown_ = v; }
  bool AllowUp() const { return allowUp_; }
  void SetAllowUp(bool v) { allowUp_ = v; }
  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType v);
  QColor PenColor() const { return penColor_; }
  void SetPenColor(const QColor& v);
  int PenWidth() const { return penWidth_; }
  void SetPenWidth(int v);
  QColor BrushColor() const { return brushColor_; }
  void SetBrushColor(const QColor& v);
  QColor FontColor() const { return fontColor_; }
  void SetFontColor(const QColor& v);
  QString Hint() const { return hint_; }
  void SetHint(const QString& v);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);

  bool MouseOver() const { return mouseOver_; }
  bool Pressed() const { return pressed_; }

  // A bar of this colour inside the left edge flags the button (a page holding edits not yet
  // applied); an invalid colour draws none.
  QColor Mark() const { return mark_; }
  void SetMark(const QColor& v);

  // The box the shape is drawn in, corners as (left, top) and (right, bottom) with the right and
  // bottom edges exclusive, and the rectangle the caption is drawn at.
  QRect ShapeBox() const;
  QRect CaptionRect() const;
  // Colours the next paint uses: fill, border and text.
  struct TColors {
    QColor brush, border, font;
  };
  TColors EffectiveColors() const;

  QSize sizeHint() const override { return {65, 65}; }

 signals:
  void OnClick(QObject* Sender);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void ApplyHint();
  void Activate();  // a click: Down follows AllowDown/AllowUp, then OnClick

  int roundCorner_ = 0;
  QPointer<TShapeExColorSchema> schema_;
  QMetaObject::Connection schemaConnection_;
  QString caption_;
  bool down_ = false;
  bool allowUp_ = false;
  bool allowDown_ = false;
  int group_ = 0;
  TShapeType shape_ = stRectangle;
  QColor penColor_ = Qt::black;
  int penWidth_ = 1;
  QColor brushColor_ = Qt::white;
  QColor fontColor_ = Qt::black;
  QString hint_;
  bool showHint_ = false;
  bool mouseOver_ = false;
  bool pressed_ = false;
  bool clickArmed_ = false;
  QColor mark_;
};
