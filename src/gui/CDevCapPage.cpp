#include "gui/CDevCapPage.h"

#include <QPainter>

#include "gui/CDevLUNPage.h"
#include "gui/SheetPictures.h"

namespace oru {

CDevCapPage::CDevCapPage(CDevPropSheet& sheet) : CSheetPage(sheet) {
    setMinimumSize(CapacityPicture::kValueRight + 2 * kOriginX, 260);
    Refresh();
}

bool CDevCapPage::MayActivate() {
    return PageAvailable(Commands());
}

void CDevCapPage::Refresh() {
    capacity_ = ComputeArrayCapacity(Commands().State());
    update();
}

void CDevCapPage::paintEvent(QPaintEvent*) {
    if (!capacity_.has_value()) {
        return;
    }
    QPainter painter(this);
    CapacityPicture::Paint(painter, *capacity_, QPoint(kOriginX, kOriginY),
                           palette().color(QPalette::WindowText), font());
}

}  // namespace oru
