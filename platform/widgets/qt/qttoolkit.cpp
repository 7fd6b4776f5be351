#include "platform/widgets/qt/qttoolkit.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpacerItem>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <unordered_map>

#include "platform/widgets/controls.h"

namespace zlk::widgets {

namespace {

// The line height of the font the layouts were drawn for.
constexpr double kLayoutLineHeight = 16.0;
// Steppers at least this wide (points) show their number.
constexpr int kNumberStepperWidth = 30;
// Labels at least this tall (points) wrap their text.
constexpr int kWrappingLabelHeight = 28;
// A group box's form: margin inside the box, and the space between rows and
// between the label and control columns (points).
constexpr int kFormMargin = 8;
constexpr int kFormSpacing = 8;
// Room an alert leaves beside its title for the window manager's icon and
// buttons (pixels).
constexpr int kAlertTitleRoom = 128;
// A list or field narrowed to fit its row keeps at least this width (points).
constexpr int kFormNarrowest = 80;

QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Little arrows: a stepper without a field of its own (a text field beside
// it shows the number).
class ArrowsWidget final : public QWidget {
public:
    explicit ArrowsWidget(QWidget* parent = nullptr) : QWidget(parent)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        up = new QToolButton(this);
        down = new QToolButton(this);
        for (QToolButton* arrow : {up, down}) {
            arrow->setArrowType(arrow == up ? Qt::UpArrow : Qt::DownArrow);
            arrow->setFocusPolicy(Qt::NoFocus);
            arrow->setAutoRepeat(true);
            arrow->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
            layout->addWidget(arrow);
        }
        setFocusPolicy(Qt::StrongFocus);
    }
    std::function<void(bool up)> step;
    QToolButton* up;
    QToolButton* down;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) && step) {
            step(event->key() == Qt::Key_Up);
            return;
        }
        QWidget::keyPressEvent(event);
    }
};

}  // namespace

// The Qt widget of one widget, kept in step with it.
class QtPeer final : public Peer {
public:
    QtPeer(QtToolkit& toolkit, Widget& widget) : toolkit_(toolkit), widget_(widget) { Build(); }
    ~QtPeer() override
    {
        if (native_) {
            // The person's click may still be on its way out of this Qt
            // widget's signal; it goes when the event loop is back.
            for (const QMetaObject::Connection& connection : connections_) {
                QObject::disconnect(connection);
            }
            native_->hide();
            native_->deleteLater();
        }
    }

    QWidget* Native() const { return native_; }

    void Sync(Widget& widget, Aspect what) override
    {
        if (!native_) {
            return;
        }
        switch (what) {
        case Aspect::Tag: native_->setObjectName(QStringLiteral("tag%1").arg(widget.Tag())); break;
        case Aspect::Enabled: SyncEnabled(); break;
        case Aspect::Hidden: SyncVisible(); break;
        case Aspect::Frame:
            if (!PlaceForm()) {
                Place();
                PlaceChildren();
            }
            break;
        case Aspect::Title: SyncTitle(); break;
        case Aspect::Children: SyncChildren(); break;
        case Aspect::State: SyncState(); break;
        case Aspect::Items: SyncItems(); break;
        case Aspect::Selection: SyncSelection(); break;
        case Aspect::Value:
        case Aspect::Range: SyncValue(); break;
        case Aspect::Text: SyncText(); break;
        case Aspect::Editable: SyncEditable(); break;
        }
    }

    // Everything at once: after the widget was built or moved to a new parent.
    void SyncAll()
    {
        native_->setObjectName(QStringLiteral("tag%1").arg(widget_.Tag()));
        SyncEnabled();
        SyncTitle();
        SyncState();
        SyncItems();
        SyncValue();
        SyncText();
        SyncEditable();
        SyncChildren();
        Place();
        SyncVisible();
    }

private:
    static QtPeer* PeerOf(const Widget& widget) { return static_cast<QtPeer*>(widget.GetPeer()); }

    // A radio group's cells may lie outside the group's frame (a cell below
    // a block of fields), which Qt would clip: they live in the group's
    // parent instead, placed by the group's frame, and follow the group's
    // enabled and hidden flags themselves.
    const Widget* Group() const
    {
        const Widget* parent = widget_.Parent();
        return parent && parent->GetKind() == Kind::RadioGroup ? parent : nullptr;
    }
    // The Qt widget the children's Qt widgets go in.
    QWidget* ChildHost() const
    {
        return widget_.GetKind() == Kind::RadioGroup ? native_->parentWidget() : native_.data();
    }

    void Build()
    {
        switch (widget_.GetKind()) {
        case Kind::View:
        case Kind::TabPage:
        case Kind::RadioGroup: native_ = new QWidget(); break;
        case Kind::GroupBox: native_ = new QGroupBox(); break;
        case Kind::Label: {
            auto* label = new QLabel();
            label->setTextFormat(Qt::PlainText);
            native_ = label;
            break;
        }
        case Kind::Button: {
            auto* button = new QPushButton();
            // Return presses the window's default button, never the focused one.
            button->setAutoDefault(false);
            button->setFocusPolicy(Qt::StrongFocus);
            connections_.push_back(QObject::connect(
                button, &QPushButton::clicked, [this] { WithWidget([](Widget& w) { w.As<Button>()->UserClick(); }); }));
            native_ = button;
            break;
        }
        case Kind::CheckBox: {
            auto* box = new QCheckBox();
            box->setFocusPolicy(Qt::StrongFocus);
            connections_.push_back(QObject::connect(box, &QCheckBox::clicked, [this] {
                WithWidget([](Widget& w) { w.As<CheckBox>()->UserClick(); }, Aspect::State);
            }));
            native_ = box;
            break;
        }
        case Kind::RadioButton: {
            auto* radio = new QRadioButton();
            // The widgets keep one cell of a group on; Qt's own rule would
            // also join radio buttons that merely share a parent.
            radio->setAutoExclusive(false);
            radio->setFocusPolicy(Qt::StrongFocus);
            connections_.push_back(QObject::connect(radio, &QRadioButton::clicked, [this] {
                WithWidget([](Widget& w) { w.As<RadioButton>()->UserClick(); }, Aspect::State);
            }));
            native_ = radio;
            break;
        }
        case Kind::PopUp: {
            auto* list = new QComboBox();
            list->setModel(new QStandardItemModel(list));
            list->setFocusPolicy(Qt::StrongFocus);
            connections_.push_back(QObject::connect(list, &QComboBox::activated, [this](int index) {
                WithWidget([index](Widget& w) { w.As<PopUp>()->UserSelect(index); }, Aspect::Selection);
            }));
            native_ = list;
            break;
        }
        case Kind::Stepper: {
            if (widget_.Frame().width >= kNumberStepperWidth) {
                // Wide enough to show its number (an hour, a minute).
                auto* box = new QSpinBox();
                box->setFocusPolicy(Qt::StrongFocus);
                connections_.push_back(QObject::connect(box, &QSpinBox::valueChanged, [this](int value) {
                    WithWidget([value](Widget& w) { w.As<Stepper>()->UserSetValue(value); }, Aspect::Value);
                }));
                native_ = box;
                break;
            }
            auto* arrows = new ArrowsWidget();
            auto step = [this](bool up) {
                WithWidget([up](Widget& w) {
                    auto* stepper = w.As<Stepper>();
                    up ? stepper->UserIncrement() : stepper->UserDecrement();
                });
            };
            arrows->step = step;
            connections_.push_back(QObject::connect(arrows->up, &QToolButton::clicked, [step] { step(true); }));
            connections_.push_back(QObject::connect(arrows->down, &QToolButton::clicked, [step] { step(false); }));
            native_ = arrows;
            break;
        }
        case Kind::TextField: {
            auto* field = new QLineEdit();
            field->setMaxLength(static_cast<int>(TextField::kMaxFieldBytes));
            field->setFocusPolicy(Qt::StrongFocus);
            connections_.push_back(
                QObject::connect(field, &QLineEdit::textEdited, [this](const QString& text) { Edited(text); }));
            native_ = field;
            break;
        }
        case Kind::TabView: {
            auto* tabs = new QTabWidget();
            connections_.push_back(QObject::connect(tabs, &QTabWidget::tabBarClicked, [this](int index) {
                WithWidget([index](Widget& w) { w.As<TabView>()->UserSelectTab(index); }, Aspect::Selection);
            }));
            native_ = tabs;
            break;
        }
        }
        native_->hide();
        toolkit_.Register(native_, &widget_);
    }

    // Runs what the person did on the widget; the action may end the
    // widget, so it is looked up again before anything is redrawn.
    template <class Act>
    void WithWidget(Act act, std::optional<Aspect> resync = std::nullopt)
    {
        QPointer<QWidget> native = native_.data();
        act(widget_);
        if (resync && native && toolkit_.IsAlive(native)) {
            Sync(widget_, *resync);
        }
        toolkit_.UserActed();
    }

    void Edited(const QString& text)
    {
        auto* field = widget_.As<TextField>();
        auto* edit = static_cast<QLineEdit*>(native_.data());
        const int cursor = edit->cursorPosition();
        QPointer<QWidget> native = native_.data();
        const bool accepted = field->UserEdit(text.toStdString());
        if (!native || !toolkit_.IsAlive(native)) {
            return;
        }
        if (!accepted) {
            // Refused: the field keeps its text; the toolkit has beeped.
            const QString kept = Q(field->Text());
            edit->setText(kept);
            edit->setCursorPosition(std::clamp<int>(cursor - static_cast<int>(text.size() - kept.size()), 0,
                                                    static_cast<int>(kept.size())));
        }
    }

    void SyncEnabled()
    {
        const Widget* group = Group();
        native_->setEnabled(widget_.IsEnabled() && (!group || group->IsEnabled()));
        if (widget_.GetKind() == Kind::RadioGroup) {
            ForEachChildPeer([](QtPeer& cell) { cell.SyncEnabled(); });
        }
    }

    template <class Visit>
    void ForEachChildPeer(Visit visit)
    {
        for (std::size_t i = 0; i < widget_.ChildCount(); ++i) {
            if (QtPeer* peer = PeerOf(widget_.ChildAt(i)); peer && peer->native_) {
                visit(*peer);
            }
        }
    }

    void SyncVisible()
    {
        // A widget without a parent would open a window of its own.
        if (native_->parentWidget() == nullptr) {
            return;
        }
        if (widget_.Parent() && widget_.Parent()->GetKind() == Kind::TabView) {
            auto* tabs = static_cast<QTabWidget*>(PeerOf(*widget_.Parent())->Native());
            tabs->setTabVisible(tabs->indexOf(native_), !widget_.IsHidden());
            return;
        }
        if (widget_.GetKind() == Kind::RadioGroup) {
            // Only its cells show.
            native_->setVisible(false);
            ForEachChildPeer([](QtPeer& cell) { cell.SyncVisible(); });
            return;
        }
        const Widget* group = Group();
        native_->setVisible(!widget_.IsHidden() && (!group || !group->IsHidden()));
        // A row shown or hidden in a group box's form moves the rows below it.
        PlaceForm();
    }

    // Lays out again the form of the group box the widget is in, if any: a
    // change of one row's size, text or visibility may move every row.
    bool PlaceForm()
    {
        const Widget* group = Group();
        const Widget& unit = group ? *group : widget_;
        if (const Widget* box = unit.Parent(); box && box->GetKind() == Kind::GroupBox && box->Parent()) {
            if (QtPeer* peer = PeerOf(*box); peer && peer->native_) {
                peer->Place();
                return true;
            }
        }
        return false;
    }

    void SyncTitle()
    {
        const QString title = Q(widget_.Title());
        switch (widget_.GetKind()) {
        case Kind::Button: static_cast<QPushButton*>(native_.data())->setText(title); break;
        case Kind::CheckBox:
        case Kind::RadioButton: static_cast<QAbstractButton*>(native_.data())->setText(title); break;
        case Kind::Label:
            static_cast<QLabel*>(native_.data())->setText(title);
            PlaceForm();
            break;
        case Kind::GroupBox: static_cast<QGroupBox*>(native_.data())->setTitle(title); break;
        case Kind::TabPage:
            if (widget_.Parent() && widget_.Parent()->GetKind() == Kind::TabView) {
                auto* tabs = static_cast<QTabWidget*>(PeerOf(*widget_.Parent())->Native());
                tabs->setTabText(tabs->indexOf(native_), title);
            }
            break;
        default: break;
        }
    }

    void SyncState()
    {
        if (auto* box = widget_.As<CheckBox>()) {
            auto* native = static_cast<QCheckBox*>(native_.data());
            native->setTristate(box->AllowsMixed());
            native->setCheckState(box->State() == kStateMixed ? Qt::PartiallyChecked
                                  : box->IsOn()               ? Qt::Checked
                                                              : Qt::Unchecked);
        } else if (auto* radio = widget_.As<RadioButton>()) {
            static_cast<QRadioButton*>(native_.data())->setChecked(radio->IsOn());
        }
    }

    void SyncItems()
    {
        auto* list = widget_.As<PopUp>();
        if (!list) {
            return;
        }
        auto* combo = static_cast<QComboBox*>(native_.data());
        auto* model = static_cast<QStandardItemModel*>(combo->model());
        const QSignalBlocker blocker(combo);
        model->clear();
        for (const PopUpItem& entry : list->Items()) {
            auto* item = new QStandardItem(Q(entry.title));
            item->setEnabled(entry.enabled);
            model->appendRow(item);
        }
        combo->setCurrentIndex(list->SelectedIndex());
    }

    void SyncSelection()
    {
        if (auto* list = widget_.As<PopUp>()) {
            const QSignalBlocker blocker(native_);
            static_cast<QComboBox*>(native_.data())->setCurrentIndex(list->SelectedIndex());
        } else if (auto* tabs = widget_.As<TabView>()) {
            const QSignalBlocker blocker(native_);
            static_cast<QTabWidget*>(native_.data())->setCurrentIndex(tabs->SelectedIndex());
        }
    }

    void SyncValue()
    {
        auto* stepper = widget_.As<Stepper>();
        if (auto* box = qobject_cast<QSpinBox*>(native_.data()); box && stepper) {
            const QSignalBlocker blocker(box);
            box->setRange(stepper->Min(), stepper->Max());
            box->setSingleStep(stepper->Increment());
            box->setValue(stepper->Value());
        } else if (stepper) {
            auto* arrows = static_cast<ArrowsWidget*>(native_.data());
            arrows->setToolTip(QString::number(stepper->Value()));
        }
    }

    void SyncText()
    {
        if (auto* field = widget_.As<TextField>()) {
            auto* edit = static_cast<QLineEdit*>(native_.data());
            const QString text = Q(field->Text());
            if (edit->text() != text) {
                edit->setText(text);
            }
        }
    }

    void SyncEditable()
    {
        if (auto* field = widget_.As<TextField>()) {
            auto* edit = static_cast<QLineEdit*>(native_.data());
            edit->setReadOnly(!field->IsEditable());
            edit->setEchoMode(field->IsSecure() ? QLineEdit::Password : QLineEdit::Normal);
        }
    }

    void SyncChildren()
    {
        // Children given away elsewhere leave this Qt widget too.
        for (QWidget* child : native_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            Widget* owner = toolkit_.WidgetOf(child);
            const Widget* placedBy = owner ? owner->Parent() : nullptr;
            if (placedBy && placedBy->GetKind() == Kind::RadioGroup) {
                placedBy = placedBy->Parent();
            }
            if (owner && toolkit_.NativeWidget(*owner) == child && placedBy != &widget_) {
                child->hide();
                child->setParent(nullptr);
            }
        }
        if (auto* tabView = widget_.As<TabView>()) {
            auto* tabs = static_cast<QTabWidget*>(native_.data());
            const QSignalBlocker blocker(tabs);
            tabs->clear();
            for (int i = 0; i < tabView->PageCount(); ++i) {
                TabPage& page = tabView->Page(i);
                tabs->addTab(PeerOf(page)->Native(), Q(page.Title()));
                tabs->setTabEnabled(i, page.IsEnabled());
                tabs->setTabVisible(i, !page.IsHidden());
            }
            tabs->setCurrentIndex(tabView->SelectedIndex());
            return;
        }
        QWidget* host = ChildHost();
        for (std::size_t i = 0; i < widget_.ChildCount(); ++i) {
            QtPeer* peer = PeerOf(widget_.ChildAt(i));
            if (!peer || !peer->native_) {
                continue;
            }
            if (!host) {
                // A group not placed yet keeps its cells until it is.
                peer->native_->hide();
                continue;
            }
            if (peer->native_->parentWidget() != host) {
                peer->native_->setParent(host);
                peer->Place();
                peer->SyncEnabled();
                peer->SyncVisible();
            }
            // A group that just arrived brings its cells along.
            if (peer->widget_.GetKind() == Kind::RadioGroup) {
                peer->SyncChildren();
            }
        }
    }

public:
    // Where the widget goes in its Qt parent: in a group box, its place in
    // the group's form; elsewhere where its layout frame says, top-down.
    void Place()
    {
        const Widget* parent = widget_.Parent();
        if (!parent || parent->GetKind() == Kind::TabView) {
            return;
        }
        const Widget* group = Group();
        if (group && !group->Parent()) {
            return;
        }
        QRect rect = FramedRect(widget_);
        // A cell moves with its group.
        const Widget& unit = group ? *group : widget_;
        if (const Widget* box = unit.Parent(); box && box->GetKind() == Kind::GroupBox) {
            if (const std::optional<QRect> slot = PeerOf(*box)->FormSlot(unit)) {
                rect = group ? rect.translated(slot->topLeft() - FramedRect(unit).topLeft()) : *slot;
            }
        }
        if (widget_.GetKind() == Kind::GroupBox) {
            rect.setHeight(FittedHeight(rect.height()));
        }
        native_->setGeometry(rect);
        if (widget_.GetKind() == Kind::RadioGroup || widget_.GetKind() == Kind::GroupBox) {
            PlaceChildren();
        }
        if (auto* label = qobject_cast<QLabel*>(native_.data())) {
            const bool wraps = widget_.Frame().height >= kWrappingLabelHeight;
            label->setWordWrap(wraps);
            label->setAlignment(Qt::AlignLeft | (wraps ? Qt::AlignTop : Qt::AlignVCenter));
        }
    }

    // Flipped coordinates hang on the parent's height.
    void PlaceChildren()
    {
        for (std::size_t i = 0; i < widget_.ChildCount(); ++i) {
            if (QtPeer* peer = PeerOf(widget_.ChildAt(i)); peer && peer->native_) {
                peer->Place();
            }
        }
    }

private:
    // The widget's layout frame in pixels in its Qt parent, top-down. Edges
    // are rounded, not sizes, so that neighbours never overlap by a pixel.
    QRect FramedRect(const Widget& widget) const
    {
        Rect frame = widget.Frame();
        const Widget* parent = widget.Parent();
        int parentHeight = parent ? parent->Frame().height : frame.height;
        if (parent && parent->GetKind() == Kind::RadioGroup && parent->Parent()) {
            frame.x += parent->Frame().x;
            frame.y += parent->Frame().y;
            parentHeight = parent->Parent()->Frame().height;
        }
        const int top = parentHeight - frame.y - frame.height;
        const int left = toolkit_.ToPixels(frame.x);
        const int upper = toolkit_.ToPixels(top);
        return QRect(left, upper, toolkit_.ToPixels(frame.x + frame.width) - left,
                     toolkit_.ToPixels(top + frame.height) - upper);
    }

    // A group box lays its shown children out as a form: rows packed from
    // its top, labels in one column and the controls after them in the
    // next. The layouts place rows from the bottom of boxes drawn for the
    // most options a printer may have, and each label as wide as its text,
    // which leaves the rows hanging low with their controls ragged. A group
    // whose rows are not simple (a block beside several rows) keeps its
    // layout's places.
    struct Form {
        std::unordered_map<const Widget*, QRect> places;
        int bottom = 0;  // below the last row
    };

    std::optional<Form> Arrange() const
    {
        const auto* box = qobject_cast<const QGroupBox*>(native_.data());
        if (!box) {
            return std::nullopt;
        }
        struct Item {
            const Widget* widget;
            QRect rect;
        };
        std::vector<Item> items;
        for (std::size_t i = 0; i < widget_.ChildCount(); ++i) {
            const Widget& child = widget_.ChildAt(i);
            if (!child.IsHidden()) {
                items.push_back({&child, FramedRect(child)});
            }
        }
        if (items.empty()) {
            return std::nullopt;
        }
        std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
            return a.rect.top() != b.rect.top() ? a.rect.top() < b.rect.top() : a.rect.left() < b.rect.left();
        });
        // Rows: items that share most of their height.
        std::vector<std::vector<Item>> rows;
        for (const Item& item : items) {
            if (!rows.empty()) {
                const QRect& last = rows.back().front().rect;
                const int shared = std::min(last.bottom(), item.rect.bottom()) - item.rect.top();
                if (shared * 2 >= std::min(last.height(), item.rect.height())) {
                    rows.back().push_back(item);
                    continue;
                }
            }
            rows.push_back({item});
        }
        for (auto& row : rows) {
            std::sort(row.begin(), row.end(),
                      [](const Item& a, const Item& b) { return a.rect.left() < b.rect.left(); });
            int lowest = INT_MAX, highest = 0;
            for (const Item& item : row) {
                lowest = std::min(lowest, item.rect.height());
                highest = std::max(highest, item.rect.height());
            }
            if (row.size() > 1 && highest * 5 > lowest * 9) {
                return std::nullopt;
            }
        }

        const QRect inside = box->contentsRect();
        const int margin = toolkit_.ToPixels(kFormMargin);
        const int spacing = toolkit_.ToPixels(kFormSpacing);
        auto labelled = [](const std::vector<Item>& row) {
            return row.size() > 1 && row[0].widget->GetKind() == Kind::Label &&
                   row[0].rect.right() < row[1].rect.left();
        };
        int labelWidth = -1;
        for (const auto& row : rows) {
            if (labelled(row)) {
                const QWidget* label = PeerOf(*row[0].widget)->Native();
                labelWidth = std::max({labelWidth, row[0].rect.width(), label ? label->sizeHint().width() : 0});
            }
        }
        const int left = inside.left() + margin;
        const int fieldLeft = labelWidth < 0 ? left : left + labelWidth + spacing;

        Form form;
        int y = inside.top() + margin;
        for (const auto& row : rows) {
            int height = 0;
            for (const Item& item : row) {
                height = std::max(height, item.rect.height());
            }
            // The row moves as one; a label takes the first column.
            std::size_t first = 0;
            if (labelled(row)) {
                const Item& label = row[0];
                form.places[label.widget] =
                    QRect(left, y + (height - label.rect.height()) / 2, labelWidth, label.rect.height());
                first = 1;
            }
            // A row that would pass the box's right edge moves left where
            // there is room, then its widest list or field gives up width.
            const int start = row[first].rect.left();
            int overshoot = row.back().rect.right() + fieldLeft - start - (inside.right() - margin);
            const int dx =
                std::max(fieldLeft - start - std::max(overshoot, 0), (first == 1 ? fieldLeft : left) - start);
            overshoot = row.back().rect.right() + dx - (inside.right() - margin);
            std::size_t narrowed = row.size();
            for (std::size_t i = first; i < row.size(); ++i) {
                const Kind kind = row[i].widget->GetKind();
                if ((kind == Kind::PopUp || kind == Kind::TextField) &&
                    (narrowed == row.size() || row[i].rect.width() > row[narrowed].rect.width())) {
                    narrowed = i;
                }
            }
            int shift = dx;
            for (std::size_t i = first; i < row.size(); ++i) {
                QRect rect = row[i].rect.translated(shift, 0);
                if (i == narrowed && overshoot > 0) {
                    const int cut = std::min(overshoot, rect.width() - toolkit_.ToPixels(kFormNarrowest));
                    if (cut > 0) {
                        rect.setWidth(rect.width() - cut);
                        shift -= cut;
                    }
                }
                form.places[row[i].widget] =
                    QRect(rect.left(), y + (height - rect.height()) / 2, rect.width(), rect.height());
            }
            y += height + spacing;
        }
        form.bottom = y - spacing + margin;
        return form;
    }

    std::optional<QRect> FormSlot(const Widget& child) const
    {
        if (const std::optional<Form> form = Arrange()) {
            if (const auto it = form->places.find(&child); it != form->places.end()) {
                return it->second;
            }
        }
        return std::nullopt;
    }

    // A group box ends below its last row when nothing lies below it in its
    // parent; its layout's height otherwise.
    int FittedHeight(int height) const
    {
        const std::optional<Form> form = Arrange();
        const Widget* parent = widget_.Parent();
        if (!form || !parent || form->bottom >= height) {
            return height;
        }
        const Rect frame = widget_.Frame();
        for (std::size_t i = 0; i < parent->ChildCount(); ++i) {
            const Widget& sibling = parent->ChildAt(i);
            if (&sibling != &widget_ && !sibling.IsHidden() && sibling.Frame().y + sibling.Frame().height <= frame.y) {
                return height;
            }
        }
        return form->bottom;
    }

private:
    QtToolkit& toolkit_;
    Widget& widget_;
    QPointer<QWidget> native_;
    std::vector<QMetaObject::Connection> connections_;
};

namespace {

// A window as a dialog: Return, Escape and the close box go to the window's
// own buttons.
class WindowDialog final : public QDialog {
public:
    explicit WindowDialog(Window& window) : window_(window) { setModal(true); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: window_.UserPressReturn(); return;
        case Qt::Key_Escape: window_.UserPressEscape(); return;
        default: QDialog::keyPressEvent(event);
        }
    }
    void closeEvent(QCloseEvent* event) override
    {
        // The window closes through its cancel button, as Escape does.
        event->ignore();
        window_.UserPressEscape();
    }
    void reject() override { window_.UserPressEscape(); }

private:
    Window& window_;
};

}  // namespace

class QtWindowPeer final : public WindowPeer {
public:
    QtWindowPeer(QtToolkit& toolkit, Window& window) : toolkit_(toolkit), dialog_(new WindowDialog(window))
    {
        QWidget* content = toolkit.NativeWidget(window.Content());
        content->setParent(dialog_);
        content->move(0, 0);
        content->show();
        Sync(window);
    }
    ~QtWindowPeer() override
    {
        if (dialog_) {
            dialog_->hide();
            dialog_->deleteLater();
        }
    }

    QWidget* Native() const { return dialog_; }

    void Sync(Window& window) override
    {
        if (!dialog_) {
            return;
        }
        dialog_->setWindowTitle(Q(window.Title()));
        const QSize size(toolkit_.ToPixels(window.Frame().width), toolkit_.ToPixels(window.Frame().height));
        dialog_->setFixedSize(size);
        toolkit_.NativeWidget(window.Content())->resize(size);
        if (window.IsOpen() && !dialog_->isVisible()) {
            ApplyKeys(window);
            if (QWidget* over = QApplication::activeWindow(); over && over != dialog_) {
                dialog_->move(over->geometry().center() - QPoint(size.width() / 2, size.height() / 2));
            }
            dialog_->show();
            dialog_->raise();
            dialog_->activateWindow();
        } else if (!window.IsOpen() && dialog_->isVisible()) {
            dialog_->hide();
        }
    }

private:
    void ApplyKeys(Window& window)
    {
        if (window.DefaultButton()) {
            if (auto* button = window.Find<Button>(*window.DefaultButton())) {
                static_cast<QPushButton*>(toolkit_.NativeWidget(*button))->setDefault(true);
            }
        }
        QWidget* previous = nullptr;
        for (int tag : window.KeyOrder()) {
            Widget* widget = window.FindWidget(tag);
            QWidget* native = widget ? toolkit_.NativeWidget(*widget) : nullptr;
            if (!native) {
                continue;
            }
            if (previous) {
                QWidget::setTabOrder(previous, native);
            }
            previous = native;
        }
    }

    QtToolkit& toolkit_;
    QPointer<WindowDialog> dialog_;
};

QtToolkit::QtToolkit()
{
    const QFontMetrics metrics(QApplication::font());
    scale_ = std::clamp(metrics.height() / kLayoutLineHeight, 1.0, 3.0);
    focusConnection_ = QObject::connect(qApp, &QApplication::focusChanged,
                                        [this](QWidget*, QWidget* now) { NativeFocusChanged(now); });
}

QtToolkit::~QtToolkit()
{
    QObject::disconnect(focusConnection_);
    // Qt widgets of widgets that are gone wait for the event loop; free them now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int QtToolkit::ToPixels(int points) const { return static_cast<int>(std::lround(points * scale_)); }

QWidget* QtToolkit::NativeWidget(const Widget& widget) const
{
    const auto* peer = static_cast<const QtPeer*>(widget.GetPeer());
    return peer ? peer->Native() : nullptr;
}

Widget* QtToolkit::WidgetOf(const QWidget* native) const
{
    for (; native != nullptr; native = native->parentWidget()) {
        if (const auto it = widgets_.find(native); it != widgets_.end()) {
            return it->second;
        }
    }
    return nullptr;
}

QWidget* QtToolkit::NativeWindow(const Window& window) const
{
    const auto* peer = static_cast<const QtWindowPeer*>(window.GetPeer());
    return peer ? peer->Native() : nullptr;
}

void QtToolkit::WidgetCreated(Widget& widget)
{
    auto peer = std::make_unique<QtPeer>(*this, widget);
    QtPeer& attached = *peer;
    widget.AttachPeer(std::move(peer));
    attached.SyncAll();
}

void QtToolkit::WindowCreated(Window& window) { window.AttachPeer(std::make_unique<QtWindowPeer>(*this, window)); }

void QtToolkit::WidgetDestroyed(const Widget& widget)
{
    if (focus_ == &widget) {
        focus_ = nullptr;
    }
    if (QWidget* native = NativeWidget(widget)) {
        widgets_.erase(native);
    }
}

int QtToolkit::RunModal(Window& window)
{
    QEventLoop loop;
    loops_.push_back(&loop);
    window.Show();
    if (QWidget* dialog = NativeWindow(window)) {
        if (modalShown_) {
            QPointer<QWidget> shown = dialog;
            QTimer::singleShot(0, dialog, [this, shown] {
                if (shown && modalShown_) {
                    modalShown_(*shown);
                }
            });
        }
    }
    const int code = loop.exec(QEventLoop::DialogExec);
    loops_.pop_back();
    return code;
}

bool QtToolkit::StopModal(int code)
{
    if (loops_.empty()) {
        return false;
    }
    loops_.back()->exit(code);
    return true;
}

int QtToolkit::RunAlert(const Alert& alert)
{
    QWidget* parent = QApplication::activeWindow();
    QMessageBox box(parent);
    box.setIcon(alert.style == AlertStyle::Critical        ? QMessageBox::Critical
                : alert.style == AlertStyle::Informational ? QMessageBox::Information
                                                           : QMessageBox::Warning);
    // Titled as the window it speaks for, as the hosts' own alerts are.
    const QString title =
        parent && !parent->windowTitle().isEmpty() ? parent->windowTitle() : QApplication::applicationDisplayName();
    box.setWindowTitle(title);
    box.setText(Q(alert.message));
    box.setInformativeText(Q(alert.informative));
    // A short message makes a narrow box: the window manager then cuts the
    // title, and Japanese text (no spaces to break at) wraps every few
    // characters. The text column gets the room of the title and a sensible
    // reading width.
    const QFontMetrics metrics(box.font());
    const int width = std::max(metrics.horizontalAdvance(title) + kAlertTitleRoom, metrics.averageCharWidth() * 48);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    std::vector<QAbstractButton*> buttons;
    const std::vector<std::string> titles = alert.buttons.empty() ? std::vector<std::string>{"OK"} : alert.buttons;
    for (const std::string& title : titles) {
        buttons.push_back(box.addButton(Q(title), QMessageBox::AcceptRole));
    }
    box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
    box.setEscapeButton(buttons.back());
    if (alertShown_) {
        QTimer::singleShot(0, &box, [this, &box] {
            if (alertShown_) {
                alertShown_(box);
            }
        });
    }
    box.exec();
    const auto clicked = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return clicked == buttons.end() ? 0 : static_cast<int>(clicked - buttons.begin());
}

void QtToolkit::Beep()
{
    ++beeps_;
    QApplication::beep();
}

bool QtToolkit::SetFocus(Widget* widget)
{
    if (widget == focus_) {
        return true;
    }
    if (widget != nullptr && (!widget->AcceptsFocus() || !widget->IsReachable())) {
        return false;
    }
    Widget* previous = focus_;
    settingFocus_ = true;
    if (widget != nullptr) {
        if (QWidget* native = NativeWidget(*widget)) {
            native->setFocus(Qt::OtherFocusReason);
        }
    } else if (previous != nullptr) {
        if (QWidget* native = NativeWidget(*previous); native && native->hasFocus()) {
            native->clearFocus();
        }
    }
    settingFocus_ = false;
    MoveFocus(focus_, widget);
    return true;
}

void QtToolkit::NativeFocusChanged(QWidget* now)
{
    if (settingFocus_) {
        return;
    }
    Widget* widget = now ? WidgetOf(now) : nullptr;
    if (widget != nullptr && !widget->AcceptsFocus()) {
        widget = nullptr;
    }
    if (widget != focus_) {
        MoveFocus(focus_, widget);
    }
}

int QtToolkit::OpenHelp(const std::string& book, const std::string& page, const std::string& anchor)
{
    (void)book;  // the viewer titles the page itself
    QUrl url = QUrl::fromLocalFile(Q(page));
    if (!anchor.empty()) {
        url.setFragment(Q(anchor));
    }
    const std::string target = url.toString().toStdString();
    if (helpOpener_) {
        return helpOpener_(target);
    }
    return QProcess::startDetached(QStringLiteral("xdg-open"), {Q(target)}) ? 0 : -1;
}

int QtToolkit::TextWidth(std::string_view text) const
{
    const QFontMetrics metrics(QApplication::font());
    const int pixels = metrics.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    return static_cast<int>(std::ceil(pixels / scale_));
}

}  // namespace zlk::widgets
