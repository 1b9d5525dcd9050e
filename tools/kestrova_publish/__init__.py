"""The maker's publishing: a static tree that nginx or a CDN serves to the programs."""
