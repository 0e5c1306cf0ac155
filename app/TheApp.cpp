// The one application object of the program.
