#include "engine/core/limit_slots.h"

namespace quorvant {

LimitSlotTable& LimitSlots() {
  static LimitSlotTable table;
  return table;
}

}  // namespace quorvant
