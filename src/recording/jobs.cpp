// Recording jobs: burn, image save, image burn and erase.
