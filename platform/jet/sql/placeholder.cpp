// The SQL layer of the Access file engine.
