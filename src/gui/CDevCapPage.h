// The Capacity page: how the array's raw space is used, as a legend and a
// pie, recomputed whenever the sheet refreshes it.
#pragma once

#include <optional>

#include "gui/CDevPropSheet.h"
#include "gui/DeviceStatus.h"

namespace oru {

class CDevCapPage : public CSheetPage {
    Q_OBJECT

  public:
    // The legend starts here.
    static constexpr int kOriginX = 100;
    static constexpr int kOriginY = 20;

    explicit CDevCapPage(CDevPropSheet& sheet);

    // Not while the array's state is unknown or it is not running.
    bool MayActivate() override;
    void Refresh();
    // The figures shown; none when the state is not valid.
    const std::optional<ArrayCapacity>& Capacity() const { return capacity_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::optional<ArrayCapacity> capacity_;
};

}  // namespace oru
