// Replaced by the emulated board.
