// Placeholder: the thumbnail control is being written.
