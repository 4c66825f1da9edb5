#include "burner/cd_burner.h"

TzqCDBurner::TzqCDBurner() = default;
TzqCDBurner::~TzqCDBurner() = default;
