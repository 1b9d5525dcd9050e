// Tests of the browser host live here.
