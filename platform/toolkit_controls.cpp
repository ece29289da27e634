// Creates the buttons, check boxes, text lines and canvases of the main window, places
// them, and turns their clicks and file drops into events.
#include "platform/toolkit_controls.h"

#include "platform/canvas_widget.h"
#include "platform/drawing_state.h"
#include "platform/event_queue.h"
#include "platform/qt_helpers.h"
#include "platform/toolkit_state.h"
#include "platform/toolkit_types.h"
#include "platform/window_widget.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <algorithm>

namespace {

int controlNumberOf(const QObject* widget)
{
    for (const auto& [number, entry] : toolkit.controls)
        if (entry.widget == widget)
            return number;
    return -1;
}

// Control geometry: layout units are Qt's device-independent pixels.
void placeControl(QWidget* widget, int x, int y, int w, int h)
{
    const QRect now = widget->geometry();
    widget->setGeometry(keepOr(x, now.x()), keepOr(y, now.y()), std::max(0, keepOr(w, now.width())),
                        std::max(0, keepOr(h, now.height())));
}

bool offersLocalFiles(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
}

std::string localPaths(const QMimeData* data)
{
    std::string joined;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        if (!joined.empty())
            joined += '\n';
        joined += url.toLocalFile().toStdString();
    }
    return joined;
}

// Accepts drags of local files that may be copied, refuses every other drag, and turns
// a drop into a DropEvent of the control.
class DropFilter final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type t = event->type();
        if (t != QEvent::DragEnter && t != QEvent::DragMove && t != QEvent::Drop)
            return false;
        auto* drop = static_cast<QDropEvent*>(event);
        const bool acceptable =
            offersLocalFiles(drop->mimeData()) && (drop->possibleActions() & Qt::CopyAction);
        if (!acceptable) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (t == QEvent::Drop) {
            QueuedEvent e;
            e.kind = DropEvent;
            e.number = controlNumberOf(watched);
            e.window = MainWindowNumber;
            e.files = localPaths(drop->mimeData());
            queueEvent(e);
        }
        return true;
    }
};

void removeControl(int number)
{
    auto it = toolkit.controls.find(number);
    if (it == toolkit.controls.end())
        return;
    releaseCanvasDrawing(number);
    delete it->second.widget;
    toolkit.controls.erase(it);
    purgeEvents(ControlEvent, number);
}

template <typename Widget>
bool addControl(int number, ControlKind kind, Widget* widget, int x, int y, int w, int h)
{
    placeControl(widget, x == UnsetPosition ? 0 : x, y == UnsetPosition ? 0 : y,
                 w == UnsetPosition ? 0 : w, h == UnsetPosition ? 0 : h);
    if (toolkit.controlFont)
        widget->setFont(*toolkit.controlFont);
    widget->show();
    toolkit.controls[number] = ControlEntry{kind, widget};
    return true;
}

} // namespace

// ---- controls ----

namespace {
// Buttons and check boxes report a click the same way; the check state is read afterwards.
void queueClick(int number)
{
    QueuedEvent e;
    e.kind = ControlEvent;
    e.number = number;
    e.window = MainWindowNumber;
    e.type = ButtonClicked;
    queueEvent(e);
}
} // namespace

bool createButton(int number, int x, int y, int w, int h, const std::string& text)
{
    MainWindowWidget* parent = windowOf(MainWindowNumber);
    if (parent == nullptr)
        return false;
    removeControl(number);
    auto* button = new QPushButton(qtText(text), parent);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, [number] { queueClick(number); });
    return addControl(number, ControlKind::Button, button, x, y, w, h);
}

bool createCheckBox(int number, int x, int y, int w, int h, const std::string& text)
{
    MainWindowWidget* parent = windowOf(MainWindowNumber);
    if (parent == nullptr)
        return false;
    removeControl(number);
    auto* box = new QCheckBox(qtText(text), parent);
    box->setTristate(false);
    // clicked comes after the toggle, so checkState already reads the new state.
    QObject::connect(box, &QCheckBox::clicked, [number] { queueClick(number); });
    return addControl(number, ControlKind::CheckBox, box, x, y, w, h);
}

bool createTextLine(int number, int x, int y, int w, int h, const std::string& text)
{
    MainWindowWidget* parent = windowOf(MainWindowNumber);
    if (parent == nullptr)
        return false;
    removeControl(number);
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText); // "&" and "<" show as typed
    label->setText(qtText(text));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setWordWrap(false);
    label->setFocusPolicy(Qt::NoFocus);
    return addControl(number, ControlKind::TextLine, label, x, y, w, h);
}

bool createCanvas(int number, int x, int y, int w, int h, bool takesFocus)
{
    MainWindowWidget* parent = windowOf(MainWindowNumber);
    if (parent == nullptr)
        return false;
    removeControl(number);
    auto* canvas = new CanvasWidget(number, MainWindowNumber, takesFocus, parent);
    addControl(number, ControlKind::Canvas, canvas, x, y, w, h);
    canvas->fitPicture(false);
    return true;
}

void destroyControl(int number)
{
    removeControl(number);
}

void resizeControl(int number, int x, int y, int w, int h)
{
    ControlEntry* c = controlOf(number);
    if (c == nullptr)
        return;
    placeControl(c->widget, x, y, w, h);
    if (c->kind == ControlKind::Canvas)
        static_cast<CanvasWidget*>(c->widget)->fitPicture(true);
    c->widget->update();
}

int controlWidth(int number)
{
    const ControlEntry* c = controlOf(number);
    return c ? c->widget->width() : 0;
}

int controlHeight(int number)
{
    const ControlEntry* c = controlOf(number);
    return c ? c->widget->height() : 0;
}

int checkState(int number)
{
    const ControlEntry* c = controlOf(number);
    if (c == nullptr || c->kind != ControlKind::CheckBox)
        return 0;
    return static_cast<QCheckBox*>(c->widget)->isChecked() ? 1 : 0;
}

void setCheckState(int number, int value)
{
    ControlEntry* c = controlOf(number);
    if (c != nullptr && c->kind == ControlKind::CheckBox)
        static_cast<QCheckBox*>(c->widget)->setChecked(value != 0);
}

void setControlText(int number, const std::string& text)
{
    ControlEntry* c = controlOf(number);
    if (c == nullptr)
        return;
    if (c->kind == ControlKind::Button || c->kind == ControlKind::CheckBox)
        static_cast<QAbstractButton*>(c->widget)->setText(qtText(text));
    else if (c->kind == ControlKind::TextLine)
        static_cast<QLabel*>(c->widget)->setText(qtText(text));
}

std::string controlText(int number)
{
    const ControlEntry* c = controlOf(number);
    if (c == nullptr)
        return {};
    if (c->kind == ControlKind::Button || c->kind == ControlKind::CheckBox)
        return static_cast<QAbstractButton*>(c->widget)->text().toStdString();
    if (c->kind == ControlKind::TextLine)
        return static_cast<QLabel*>(c->widget)->text().toStdString();
    return {};
}

void focusControl(int number)
{
    if (ControlEntry* c = controlOf(number))
        c->widget->setFocus(Qt::OtherFocusReason);
}

void enableFileDrop(int number)
{
    ControlEntry* c = controlOf(number);
    if (c == nullptr)
        return;
    c->widget->setAcceptDrops(true);
    // One filter serves every control; shutdownToolkit deletes it.
    if (toolkit.dropFilter == nullptr)
        toolkit.dropFilter = new DropFilter;
    c->widget->removeEventFilter(toolkit.dropFilter); // installing twice would filter twice
    c->widget->installEventFilter(toolkit.dropFilter);
}
