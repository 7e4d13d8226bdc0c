#pragma once

// A price history cache of three points (newest first, as the server sends
// them) with its lowest and highest price, for the history views' tests.
inline constexpr char kThreePoints[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<HPrices>"
    "<LPDate>2024-02-10 08:00:00</LPDate><LowestPrice>179.00</LowestPrice>"
    "<HPDate>2024-01-05 12:30:00</HPDate><HighestPrice>210.00</HighestPrice>"
    "<HPriceList>"
    "<HPrice><Date>2024-03-01 09:15:00</Date><Price>189.00</Price></HPrice>"
    "<HPrice><Date>2024-02-10 08:00:00</Date><Price>179.00</Price></HPrice>"
    "<HPrice><Date>2024-01-05 12:30:00</Date><Price>210.00</Price></HPrice>"
    "</HPriceList></HPrices>";
