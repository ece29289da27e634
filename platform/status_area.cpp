// The status area under the canvas holds two text lines: the summary on the left and,
// set against the right edge, the machine point under the pointer.
#include "platform/status_area.h"

#include "platform/toolkit_state.h"

#include <QLabel>

void alignTextRight(int number)
{
    const auto it = toolkit.controls.find(number);
    if (it == toolkit.controls.end() || it->second.kind != ControlKind::TextLine)
        return;
    static_cast<QLabel*>(it->second.widget)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}
