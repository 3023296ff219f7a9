#include "sources/PatternSearch.h"
