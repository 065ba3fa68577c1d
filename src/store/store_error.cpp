// The state and argument errors of connections and record sets, in the legacy layer's words.
#include "store/store_error.h"

namespace cb {

void RaiseClosed() {
  throw ScriptError(err::kRecordsetState, "对象关闭时，不允许操作。", kStoreSource);
}

void RaiseOpen() {
  throw ScriptError(store_err::kObjectOpen, "对象打开时，不允许操作。", kStoreSource);
}

void RaiseOutOfRange() {
  throw ScriptError(store_err::kArgumentRange,
                    "参数类型不正确，或不在可以接受的范围之内，或与其他参数冲突。", kStoreSource);
}

}  // namespace cb
