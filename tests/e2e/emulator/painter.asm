; The code part: run once every part has loaded, it shows the picture part in the screen's middle
; third, so a wrong byte in the screen, the picture or this code changes what the screen shows.
        org PAINTER
        ld hl,PICTURE
        ld de,16384+2048
        ld bc,2048
        ldir
        ld de,22528+256
        ld bc,256
        ldir
        ret
        end
