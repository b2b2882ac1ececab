#include "adapter.h"

namespace bench {

Adapter::Adapter(ScsiBus& bus) : bus_(bus), core_(bus), board_(bus, core_) {}

}  // namespace bench
