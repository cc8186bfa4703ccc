#pragma once
// A string whose id is a combo's control id fills that combo, one item a line.
#define IDC_TEST_LOADED_COMBO 2101
