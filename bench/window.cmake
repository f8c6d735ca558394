# (to come)
