#pragma once
// Finds any of a few byte patterns in a file (to be written).
namespace velmar {}
