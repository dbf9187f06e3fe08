// Placeholder: the platform layer is being written.
