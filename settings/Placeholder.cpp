// Replaced by the settings dialog.
