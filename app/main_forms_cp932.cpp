#include "app/main_forms.h"

namespace app {

const MainFormSpec kEquationForm{"数式展開", 154, 203};
const MainFormSpec kPolymulForm{"数式乗算（ファイル）", 506, 297};

}  // namespace app
