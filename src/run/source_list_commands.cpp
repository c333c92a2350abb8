#include "run/source_list_commands.h"

#include "run/run_observer.h"
#include "run/source_list.h"

namespace torvane {

int removeSelectedSources(SourceList& list, RunObserver& observer, int unchangedRow) {
    if (!list.anySelected()) {
        observer.showMessage("알림", "삭제 할 항목을 먼저 선택하십시요", MessageIcon::Warning);
        return unchangedRow;
    }
    if (!observer.askYesNo("질문", "선택한 항목을 목록에서 제거하시겠습니까?")) return unchangedRow;
    return list.removeSelected();
}

bool removeAllSources(SourceList& list, RunObserver& observer) {
    if (list.rowCount() == 0) return false;
    if (!observer.askYesNo("질문", "모든 항목을 목록에서 제거하시겠습니까?")) return false;
    list.removeAll();
    return true;
}

}  // namespace torvane
