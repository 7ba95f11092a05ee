// Intentionally empty: a library needs at least one source.
