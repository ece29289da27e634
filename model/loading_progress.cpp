// Holds the hook through which a long load reports its progress; empty until a view sets it.
#include "model/loading_progress.h"

LoadingProgressHook loadingProgressHook = nullptr;
