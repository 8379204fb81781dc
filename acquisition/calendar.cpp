// calendar helpers
