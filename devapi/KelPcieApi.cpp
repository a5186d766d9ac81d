// Replaced by the device library.
