// Gives every library at least one translation unit, whatever it holds so far.
